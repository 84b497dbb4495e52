// Restriction: which rows a table shows (Restrict, HrQueryAllRows). Built with the
// helpers below; evaluated by Matches against a row's full set of values.
#ifndef QUORVEL_MAPI_RESTRICTION_H_
#define QUORVEL_MAPI_RESTRICTION_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "mapi/prop_value.h"

namespace quorvel::mapi {

struct Restriction {
  enum class Kind { kAnd, kOr, kNot, kProperty, kBitmask, kExist };
  Kind kind = Kind::kExist;
  std::uint32_t relop = RELOP_EQ;     // kProperty: RELOP_*; kBitmask: BMR_EQZ or BMR_NEZ
  PropTag tag = 0;                    // kProperty, kBitmask, kExist
  PropValue value;                    // kProperty: compared with the row's value
  std::uint32_t mask = 0;             // kBitmask
  std::vector<Restriction> children;  // kAnd, kOr, kNot (one child)

  static Restriction And(std::vector<Restriction> children);
  static Restriction Or(std::vector<Restriction> children);
  static Restriction Not(Restriction child);
  static Restriction Property(std::uint32_t relop, PropValue value);
  static Restriction Bitmask(std::uint32_t bmr, PropTag tag, std::uint32_t mask);
  static Restriction Exist(PropTag tag);
};

// Looks a property up by its tag in a row (nullptr when the row lacks it).
using PropLookup = std::function<const PropValue*(PropTag)>;

// Whether a row satisfies the restriction. A property or bit-mask test on a property
// the row lacks (or holds with another type) is false, as MAPI does it.
bool Matches(const Restriction& restriction, const PropLookup& lookup);

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_RESTRICTION_H_
