#include "fixture/proxy_farm.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cerrno>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "fixture/file_limit.h"
#include "fixture/fixture_server.h"
#include "raw_client.h"

namespace lumvex::tools {
namespace {

using testing::Exchange;
using testing::RawClient;
using End = RawClient::End;

std::string ProxyRequest(const std::string& url) {
  return "GET " + url + " HTTP/1.1\r\nHost: target.test\r\nProxy-Connection: close\r\n\r\n";
}

ProxySpec Spec(size_t index, ProxyBehaviour behaviour, uint16_t port = 0) {
  ProxySpec spec;
  spec.address = LoopbackAddress(index);
  spec.port = port;
  spec.behaviour = behaviour;
  return spec;
}

TEST(ProxyFarmTest, LoopbackAddressesCountThroughTheBlock) {
  EXPECT_EQ(LoopbackAddress(0), "127.0.0.1");
  EXPECT_EQ(LoopbackAddress(253), "127.0.0.254");
  EXPECT_EQ(LoopbackAddress(254), "127.0.1.1");
  EXPECT_EQ(LoopbackAddress(254 * 256), "127.1.0.1");
  std::set<std::string> distinct;
  for (size_t i = 0; i < 3000; ++i) distinct.insert(LoopbackAddress(i));
  EXPECT_EQ(distinct.size(), 3000u);
}

TEST(ProxyFarmTest, HundredsOfProxiesEachBehaveAsTold) {
  const ProxyBehaviour kinds[] = {ProxyBehaviour::kAnswer,     ProxyBehaviour::kDelay,
                                  ProxyBehaviour::kRefuse,     ProxyBehaviour::kNeverAnswer,
                                  ProxyBehaviour::kReset,      ProxyBehaviour::kGarbage,
                                  ProxyBehaviour::kEndlessBody};
  const size_t kCount = 350;
  std::vector<ProxySpec> specs;
  for (size_t i = 0; i < kCount; ++i) {
    ProxySpec spec = Spec(i, kinds[i % 7]);
    spec.delay_ms = 30;
    spec.body = "proxy-" + std::to_string(i);
    specs.push_back(spec);
  }
  ProxyFarm farm;
  std::vector<ProxyEndpoint> endpoints = farm.Start(specs);
  ASSERT_EQ(endpoints.size(), kCount);

  std::set<std::string> expected_targets;
  std::vector<std::unique_ptr<RawClient>> silent;
  for (size_t i = 0; i < kCount; ++i) {
    SCOPED_TRACE("proxy " + std::to_string(i));
    ASSERT_EQ(endpoints[i].address, specs[i].address);
    ASSERT_NE(endpoints[i].port, 0);
    std::string url = "http://target.test/page?proxy=" + std::to_string(i);
    auto client = std::make_unique<RawClient>();
    if (specs[i].behaviour == ProxyBehaviour::kRefuse) {
      EXPECT_FALSE(client->Connect(endpoints[i].address, endpoints[i].port));
      EXPECT_EQ(client->connect_errno(), ECONNREFUSED);
      continue;
    }
    ASSERT_TRUE(client->Connect(endpoints[i].address, endpoints[i].port));
    ASSERT_TRUE(client->Send(ProxyRequest(url)));
    expected_targets.insert(url);
    switch (specs[i].behaviour) {
      case ProxyBehaviour::kAnswer:
      case ProxyBehaviour::kDelay: {
        std::string answer = client->Read(5000);
        EXPECT_EQ(answer.substr(0, 17), "HTTP/1.1 200 OK\r\n");
        EXPECT_EQ(answer.substr(answer.find("\r\n\r\n") + 4), specs[i].body);
        break;
      }
      case ProxyBehaviour::kReset:
        EXPECT_EQ(client->Read(5000), "");
        EXPECT_EQ(client->last_end(), End::kReset);
        break;
      case ProxyBehaviour::kGarbage: {
        std::string answer = client->Read(5000);
        EXPECT_FALSE(answer.empty());
        EXPECT_NE(answer.substr(0, 5), "HTTP/");
        EXPECT_EQ(client->last_end(), End::kEof);
        break;
      }
      case ProxyBehaviour::kEndlessBody: {
        std::string answer = client->Read(5000, 256 * 1024);
        EXPECT_EQ(client->last_end(), End::kLimit);
        EXPECT_EQ(answer.find("Content-Length"), std::string::npos);
        EXPECT_NE(answer.find(specs[i].body + specs[i].body), std::string::npos);
        break;
      }
      default:
        silent.push_back(std::move(client));
        break;
    }
  }
  ASSERT_EQ(farm.RequestsSeen(), expected_targets.size());
  std::set<std::string> targets;
  for (const RecordedRequest& r : farm.Requests()) targets.insert(r.target);
  EXPECT_EQ(targets, expected_targets);
  // Every other proxy has answered by now; the silent ones still have not.
  for (auto& client : silent) EXPECT_FALSE(client->Readable(0));
  farm.Stop();
  EXPECT_EQ(farm.OpenConnections(), 0u);
  for (auto& client : silent) {
    EXPECT_EQ(client->Read(5000), "");
    EXPECT_NE(client->last_end(), End::kTimeout);
  }
}

TEST(ProxyFarmTest, ThousandsOfProxiesStartWithoutRunningOutOfDescriptors) {
  size_t limit = RaiseFileLimit();
  rlimit now{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &now), 0);
  EXPECT_EQ(limit, now.rlim_cur);
  EXPECT_EQ(now.rlim_cur, now.rlim_max);

  std::vector<ProxySpec> specs;
  for (size_t i = 0; i < 2500; ++i) specs.push_back(Spec(i, ProxyBehaviour::kAnswer));
  ProxyFarm farm;
  std::vector<ProxyEndpoint> endpoints = farm.Start(specs);
  ASSERT_EQ(endpoints.size(), specs.size());
  for (size_t i = 0; i < endpoints.size(); i += 97) {
    std::string answer = Exchange(endpoints[i].address, endpoints[i].port,
                                  ProxyRequest("http://target.test/" + std::to_string(i)));
    EXPECT_EQ(answer.substr(answer.size() - 2), "ok");
  }
  EXPECT_EQ(farm.RequestsSeen(), (endpoints.size() + 96) / 97);
}

TEST(ProxyFarmTest, PortsArePinnedAndFailuresReleaseEverything) {
  FixtureServer busy("127.0.0.1");
  ASSERT_TRUE(busy.Start());
  const uint16_t port = busy.port();

  // The same port on other addresses is free; once one proxy cannot bind, none stays bound.
  ProxyFarm farm;
  std::vector<ProxySpec> specs = {Spec(1, ProxyBehaviour::kAnswer, port),
                                  Spec(2, ProxyBehaviour::kRefuse, port),
                                  Spec(0, ProxyBehaviour::kAnswer, port)};
  EXPECT_TRUE(farm.Start(specs).empty());
  RawClient probe;
  EXPECT_FALSE(probe.Connect("127.0.0.2", port));
  FixtureServer reuse(LoopbackAddress(2), port);
  EXPECT_TRUE(reuse.Start()) << "the refusing proxy's port was released";
  reuse.Stop();

  specs.pop_back();
  std::vector<ProxyEndpoint> endpoints = farm.Start(specs);
  ASSERT_EQ(endpoints.size(), 2u);
  EXPECT_EQ(endpoints[0].port, port);
  EXPECT_EQ(endpoints[1].port, port);
  EXPECT_EQ(Exchange("127.0.0.2", port, ProxyRequest("http://a/")).substr(0, 12), "HTTP/1.1 200");
  // A refusing proxy keeps its port reserved so nobody else answers there by accident.
  FixtureServer squatter(LoopbackAddress(2), port);
  EXPECT_FALSE(squatter.Start());
  EXPECT_FALSE(probe.Connect(LoopbackAddress(2), port));
  EXPECT_EQ(probe.connect_errno(), ECONNREFUSED);
}

TEST(ProxyFarmTest, KeepsOnlyTheLatestRequests) {
  ProxyFarm farm(5);
  std::vector<ProxyEndpoint> endpoints = farm.Start({Spec(0, ProxyBehaviour::kAnswer)});
  ASSERT_EQ(endpoints.size(), 1u);
  for (int i = 0; i < 8; ++i) {
    Exchange(endpoints[0].address, endpoints[0].port,
             ProxyRequest("http://target.test/" + std::to_string(i)));
  }
  EXPECT_EQ(farm.RequestsSeen(), 8u);
  std::vector<RecordedRequest> kept = farm.Requests();
  ASSERT_EQ(kept.size(), 5u);
  for (size_t i = 0; i < kept.size(); ++i) {
    EXPECT_EQ(kept[i].target, "http://target.test/" + std::to_string(i + 3));
    EXPECT_EQ(kept[i].head, ProxyRequest(kept[i].target));
  }
}

TEST(ProxyFarmTest, StopsByItselfWhenItsLifetimeEnds) {
  ProxyFarm farm;
  farm.SetLifetimeMs(100);
  std::vector<ProxyEndpoint> endpoints = farm.Start({Spec(0, ProxyBehaviour::kNeverAnswer)});
  ASSERT_EQ(endpoints.size(), 1u);
  RawClient client;
  ASSERT_TRUE(client.Connect(endpoints[0].address, endpoints[0].port));
  ASSERT_TRUE(client.Send(ProxyRequest("http://target.test/")));
  EXPECT_EQ(client.Read(10000), "");
  EXPECT_EQ(client.last_end(), End::kEof);
  EXPECT_FALSE(client.Connect(endpoints[0].address, endpoints[0].port));
}

}  // namespace
}  // namespace lumvex::tools
