// What the download tests share: a TLS test server with a client that trusts
// it, a clean proxy environment, and ways to read a body.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "base/cancel_flag.hpp"
#include "core/net/download_body.hpp"
#include "core/net/download_client.hpp"
#include "support/fs/scoped_variable.hpp"
#include "support/net/tls_server.hpp"

namespace orvo::test {

struct BodyReading {
  std::string bytes;                // everything read, in order
  std::vector<std::size_t> reads;   // the count each successful non-final read returned
  std::optional<core::Error> error; // the error that ended the reading, if one did
};

// Reads until 0 (the end) or an error.
BodyReading read_to_end(core::DownloadBody& body);

// One read as text: the bytes, "<end>" for a read of 0, or "<Kind: chain>" for
// an error (Kind one of Interrupted, UnexpectedEof, Other, None).
std::string read_once(core::DownloadBody& body);

// Unsets every proxy variable the client reads and puts them back afterwards,
// so tests neither see the machine's proxies nor leave their own behind.
class ProxyVariables {
 public:
  ProxyVariables();
  ProxyVariables(const ProxyVariables&) = delete;
  ProxyVariables& operator=(const ProxyVariables&) = delete;

  void set(const char* name, const std::string& value);

 private:
  std::deque<ScopedVariable> unset_;
};

// Waits (30 s at most) until no worker holds the client any more, so that no
// download thread outlives the test; false when one still runs.
bool workers_finished(const std::shared_ptr<const core::DownloadClient>& client);

// Waits (30 s at most) until no download thread of this process runs any more:
// for tests whose client lives inside the code under test. A detached worker
// still running at exit would be reported as a leak by the sanitizers.
bool no_download_threads_left();

// Long enough never to run out unless a test is about running out.
inline constexpr std::uint64_t kGenerousSeconds = 30;

class DownloadFixture : public testing::Test {
 protected:
  void SetUp() override;
  // Stops the server, which ends every worker still waiting on it, and waits for them.
  void TearDown() override;

  core::Result<core::DownloadBody> start(std::string_view path,
                                         std::uint64_t timeout_seconds = kGenerousSeconds);

  // Sets the flag from another thread once the server has received a request:
  // a reader then waits for the answer, or is about to, and either way the
  // flag must end its wait.
  std::jthread cancel_when_requested();

  ProxyVariables proxy_variables;  // first: the client reads them when it is built
  TlsServer server;
  std::shared_ptr<const core::DownloadClient> client;
  core::CancelFlag cancel;
};

}  // namespace orvo::test
