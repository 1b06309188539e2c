#include "core/net/proxy_environment.hpp"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

namespace orvo::core {
namespace {

struct ProxyCase {
  std::string name;
  std::map<std::string, std::string> variables;
  std::optional<std::string> https;  // the proxy for an https URL
  std::optional<std::string> http;   // the proxy for an http URL
  std::optional<std::string> no_proxy;
};

class ProxyChoice : public testing::TestWithParam<ProxyCase> {};

TEST_P(ProxyChoice, FollowsTheVariables) {
  const auto& variables = GetParam().variables;
  ProxyEnvironment environment = read_proxy_environment([&](const char* name) {
    auto found = variables.find(name);
    return found == variables.end() ? std::nullopt : std::optional<std::string>(found->second);
  });
  EXPECT_EQ(environment.proxy_for("https"), GetParam().https);
  EXPECT_EQ(environment.proxy_for("http"), GetParam().http);
  EXPECT_EQ(environment.no_proxy, GetParam().no_proxy);
}

INSTANTIATE_TEST_SUITE_P(
    Variables, ProxyChoice,
    testing::Values(
        ProxyCase{"None", {}, std::nullopt, std::nullopt, std::nullopt},
        ProxyCase{"HttpsOnlyForHttps", {{"HTTPS_PROXY", "s"}}, "s", std::nullopt, std::nullopt},
        ProxyCase{"HttpOnlyForHttp", {{"HTTP_PROXY", "h"}}, std::nullopt, "h", std::nullopt},
        ProxyCase{"LowerCase", {{"https_proxy", "s"}, {"http_proxy", "h"}}, "s", "h", std::nullopt},
        ProxyCase{"UpperCaseFirst",
                  {{"HTTPS_PROXY", "S"}, {"https_proxy", "s"}, {"HTTP_PROXY", "H"}, {"http_proxy", "h"}},
                  "S",
                  "H",
                  std::nullopt},
        ProxyCase{"EmptyCountsAsUnset", {{"HTTPS_PROXY", ""}, {"https_proxy", "s"}}, "s", std::nullopt,
                  std::nullopt},
        ProxyCase{"AllForBoth", {{"ALL_PROXY", "a"}}, "a", "a", std::nullopt},
        ProxyCase{"LowerCaseAll", {{"all_proxy", "a"}}, "a", "a", std::nullopt},
        ProxyCase{"SchemeBeforeAll", {{"HTTPS_PROXY", "s"}, {"ALL_PROXY", "a"}}, "s", "a", std::nullopt},
        ProxyCase{"NoProxyUpperFirst", {{"NO_PROXY", "N"}, {"no_proxy", "n"}}, std::nullopt,
                  std::nullopt, "N"},
        ProxyCase{"NoProxyLowerCase", {{"no_proxy", "n"}}, std::nullopt, std::nullopt, "n"}),
    [](const testing::TestParamInfo<ProxyCase>& info) { return info.param.name; });

}  // namespace
}  // namespace orvo::core
