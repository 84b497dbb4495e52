#include "mapi/restriction.h"

#include <utility>

namespace quorvel::mapi {
namespace {

// <0, 0 or >0, or nullopt when the two values cannot be compared.
std::optional<int> CompareValues(const PropValue& a, const PropValue& b) {
  if (a.type() != b.type()) return std::nullopt;
  auto three = [](const auto& x, const auto& y) { return x < y ? -1 : (y < x ? 1 : 0); };
  if (auto x = a.AsLong()) return three(*x, *b.AsLong());
  if (auto x = a.AsBoolean()) return three(*x, *b.AsBoolean());
  if (auto x = a.AsString8()) return three(*x, *b.AsString8());
  if (auto x = a.AsUnicode()) return three(*x, *b.AsUnicode());
  if (auto x = a.AsBinary()) {
    const std::string& p = x->bytes;
    const std::string& q = b.AsBinary()->bytes;
    if (p.size() != q.size()) return p.size() < q.size() ? -1 : 1;
    return three(p, q);
  }
  if (auto x = a.AsTime()) return three(x->fileTime, b.AsTime()->fileTime);
  if (auto x = a.AsI8()) return three(*x, *b.AsI8());
  return std::nullopt;
}

bool RelopHolds(std::uint32_t relop, int c) {
  switch (relop) {
    case RELOP_LT:
      return c < 0;
    case RELOP_LE:
      return c <= 0;
    case RELOP_GT:
      return c > 0;
    case RELOP_GE:
      return c >= 0;
    case RELOP_EQ:
      return c == 0;
    case RELOP_NE:
      return c != 0;
    default:
      return false;
  }
}

}  // namespace

Restriction Restriction::And(std::vector<Restriction> children) {
  Restriction r;
  r.kind = Kind::kAnd;
  r.children = std::move(children);
  return r;
}

Restriction Restriction::Or(std::vector<Restriction> children) {
  Restriction r;
  r.kind = Kind::kOr;
  r.children = std::move(children);
  return r;
}

Restriction Restriction::Not(Restriction child) {
  Restriction r;
  r.kind = Kind::kNot;
  r.children.push_back(std::move(child));
  return r;
}

Restriction Restriction::Property(std::uint32_t relop, PropValue value) {
  Restriction r;
  r.kind = Kind::kProperty;
  r.relop = relop;
  r.tag = value.tag;
  r.value = std::move(value);
  return r;
}

Restriction Restriction::Bitmask(std::uint32_t bmr, PropTag tag, std::uint32_t mask) {
  Restriction r;
  r.kind = Kind::kBitmask;
  r.relop = bmr;
  r.tag = tag;
  r.mask = mask;
  return r;
}

Restriction Restriction::Exist(PropTag tag) {
  Restriction r;
  r.kind = Kind::kExist;
  r.tag = tag;
  return r;
}

bool Matches(const Restriction& r, const PropLookup& lookup) {
  switch (r.kind) {
    case Restriction::Kind::kAnd:
      for (const auto& c : r.children) {
        if (!Matches(c, lookup)) return false;
      }
      return true;
    case Restriction::Kind::kOr:
      for (const auto& c : r.children) {
        if (Matches(c, lookup)) return true;
      }
      return false;
    case Restriction::Kind::kNot:
      return !r.children.empty() && !Matches(r.children.front(), lookup);
    case Restriction::Kind::kExist: {
      const PropValue* v = lookup(r.tag);
      return v != nullptr && !v->IsError();
    }
    case Restriction::Kind::kProperty: {
      const PropValue* v = lookup(r.tag);
      if (v == nullptr || v->tag != r.tag) return false;
      auto c = CompareValues(*v, r.value);
      return c && RelopHolds(r.relop, *c);
    }
    case Restriction::Kind::kBitmask: {
      const PropValue* v = lookup(r.tag);
      const std::int32_t* l = v ? v->AsLong() : nullptr;
      if (l == nullptr) return false;
      bool zero = (static_cast<std::uint32_t>(*l) & r.mask) == 0;
      return r.relop == BMR_EQZ ? zero : !zero;
    }
  }
  return false;
}

}  // namespace quorvel::mapi
