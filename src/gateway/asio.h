// Boost.Asio as the gateway uses it: one io_context, C++20 coroutines, error codes redirected
// rather than thrown.
#pragma once

// Asio 1.74's awaitable.hpp uses std::exchange without including <utility> itself.
#include <utility>

// GCC 12 takes the frame allocation of Asio's awaitables (its own operator new and delete) for a
// mismatch, at the end of every coroutine of the file: a known false alarm of that compiler.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/connect.hpp>
#include <boost/asio/detached.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/read_until.hpp>
#include <boost/asio/redirect_error.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/asio/write.hpp>

namespace lumvex::gateway {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;
using ErrorCode = boost::system::error_code;
template <typename T>
using Task = asio::awaitable<T>;

// The completion token that leaves the outcome in `error` instead of throwing.
inline auto Into(ErrorCode& error) { return asio::redirect_error(asio::use_awaitable, error); }

}  // namespace lumvex::gateway
