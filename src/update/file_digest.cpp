#include "update/file_digest.h"

#include <openssl/evp.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "update/manifest_page.h"

namespace lumvex::update {
namespace {

constexpr std::size_t kDigestBytes = 32;

struct ContextFree {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
using ContextPtr = std::unique_ptr<EVP_MD_CTX, ContextFree>;

struct FileClose {
  void operator()(FILE* file) const { std::fclose(file); }
};

ContextPtr NewContext() {
  ContextPtr context(EVP_MD_CTX_new());
  if (context && EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) context.reset();
  return context;
}

std::optional<std::string> Finish(EVP_MD_CTX* context) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(context, digest, &length) != 1 || length != kDigestBytes) {
    return std::nullopt;
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    hex += kHex[digest[i] >> 4];
    hex += kHex[digest[i] & 0x0F];
  }
  return hex;
}

}  // namespace

std::optional<std::string> ParseSha256(std::string_view value) {
  std::string hex;
  for (char c : WithoutSpaces(value)) {
    if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return std::nullopt;
    hex += c;
  }
  if (hex.size() != 2 * kDigestBytes) return std::nullopt;
  return hex;
}

std::optional<std::string> FileSha256(const std::string& path) {
  std::unique_ptr<FILE, FileClose> file(std::fopen(path.c_str(), "rb"));
  ContextPtr context = NewContext();
  if (!file || !context) return std::nullopt;
  std::vector<char> buffer(64 * 1024);
  while (true) {
    const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), file.get());
    if (got > 0 && EVP_DigestUpdate(context.get(), buffer.data(), got) != 1) return std::nullopt;
    if (got < buffer.size()) break;
  }
  if (std::ferror(file.get())) return std::nullopt;
  return Finish(context.get());
}

std::string Sha256Hex(std::string_view bytes) {
  ContextPtr context = NewContext();
  if (!context || EVP_DigestUpdate(context.get(), bytes.data(), bytes.size()) != 1) return {};
  return Finish(context.get()).value_or(std::string());
}

}  // namespace lumvex::update
