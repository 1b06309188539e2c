#include "support/net/download_fixture.hpp"

#include <algorithm>
#include <array>
#include <chrono>
#include <string>

#include "support/net/thread_names.hpp"

namespace orvo::test {

namespace {

constexpr const char* kProxyVariables[] = {"HTTP_PROXY", "http_proxy", "HTTPS_PROXY",
                                           "https_proxy", "ALL_PROXY",  "all_proxy",
                                           "NO_PROXY",   "no_proxy"};

}  // namespace

BodyReading read_to_end(core::DownloadBody& body) {
  BodyReading reading;
  std::array<std::byte, core::kDownloadBufferSize> buffer;
  for (;;) {
    core::Result<std::size_t> got = core::read_download_body(body, buffer);
    if (!got) {
      reading.error = std::move(got).error();
      return reading;
    }
    if (*got == 0) return reading;
    reading.reads.push_back(*got);
    reading.bytes.append(reinterpret_cast<const char*>(buffer.data()), *got);
  }
}

std::string read_once(core::DownloadBody& body) {
  std::array<std::byte, core::kDownloadBufferSize> buffer;
  core::Result<std::size_t> got = core::read_download_body(body, buffer);
  if (got && *got == 0) return "<end>";
  if (got) return std::string(reinterpret_cast<const char*>(buffer.data()), *got);
  const char* kind = "None";
  switch (got.error().io_kind()) {
    case core::IoKind::Interrupted: kind = "Interrupted"; break;
    case core::IoKind::UnexpectedEof: kind = "UnexpectedEof"; break;
    case core::IoKind::Other: kind = "Other"; break;
    case core::IoKind::None: break;
  }
  return std::string("<") + kind + ": " + got.error().chain_text() + ">";
}

ProxyVariables::ProxyVariables() {
  for (const char* name : kProxyVariables) unset_.emplace_back(name, std::nullopt);
}

void ProxyVariables::set(const char* name, const std::string& value) { set_variable(name, value); }

bool workers_finished(const std::shared_ptr<const core::DownloadClient>& client) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (client.use_count() > 1) {
    if (std::chrono::steady_clock::now() > limit) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

bool no_download_threads_left() {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  for (;;) {
    const std::vector<std::string> names = thread_names();
    if (std::ranges::find(names, "orvo-download") == names.end()) return true;
    if (std::chrono::steady_clock::now() > limit) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

void DownloadFixture::SetUp() {
  core::Result<std::shared_ptr<const core::DownloadClient>> built =
      core::build_download_client({.roots_pem = server.ca_pem()});
  ASSERT_TRUE(built) << built.error().chain_text();
  client = *built;
}

void DownloadFixture::TearDown() {
  server.stop();
  EXPECT_TRUE(workers_finished(client));
}

core::Result<core::DownloadBody> DownloadFixture::start(std::string_view path,
                                                        std::uint64_t timeout_seconds) {
  return core::start_download(client, server.url(path), timeout_seconds, cancel);
}

std::jthread DownloadFixture::cancel_when_requested() {
  return std::jthread([this](std::stop_token stop) {
    while (!stop.stop_requested() && server.requests().empty()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    cancel.set();
  });
}

}  // namespace orvo::test
