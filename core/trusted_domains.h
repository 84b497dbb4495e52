// The built-in trusted domains: sender domain keys that the White List rule treats as
// White List domains without the user having added them.
//
// The table is meant for the maker's own sender domains. It is empty here on
// purpose: no domain of this build's maker exists to be trusted, and trusting a
// domain that someone else may own would let that owner's mail through unjudged. A
// build for a real maker lists its domain keys ("@example.org") here.
#ifndef QUORVEL_CORE_TRUSTED_DOMAINS_H_
#define QUORVEL_CORE_TRUSTED_DOMAINS_H_

#include <array>
#include <span>
#include <string_view>

namespace quorvel {

inline constexpr std::array<std::string_view, 0> kBuiltInTrustedDomainTable{};

inline constexpr std::span<const std::string_view> kBuiltInTrustedDomains{
    kBuiltInTrustedDomainTable.data(), kBuiltInTrustedDomainTable.size()};

}  // namespace quorvel

#endif  // QUORVEL_CORE_TRUSTED_DOMAINS_H_
