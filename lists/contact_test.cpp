#include "lists/contact.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

TEST(MakeContactTest, TrimsAndDerivesTheDomainKey) {
  struct Case {
    const char* text;
    const char* address;
    const char* key;
  };
  const Case cases[] = {
      {" \t'\"John.Smith@Example.org\\\"\r\n", "John.Smith@Example.org", "@Example.org"},
      {"a@b@c", "a@b@c", "@b@c"},  // from the first "@"
      {"@example.org", "@example.org", "@example.org"},
      {"/o=Acme/ou=Site/cn=Recipients/cn=jsmith", "/o=Acme/ou=Site/cn=Recipients/cn=jsmith",
       "/Acme"},
      {"/O=Acme/cn=x", "/O=Acme/cn=x", "/Acme"},
      {"/o=Acme", "/o=Acme", "/o=Acme"},  // no further "/": the whole address
      {"/ou=Site/cn=x", "/ou=Site/cn=x", "/ou=Site/cn=x"},
      {"/o=/cn=x", "/o=/cn=x", "/"},
      {"jsmith", "jsmith", ""},
      {"  inner blank kept ", "inner blank kept", ""},
      {"\"'\\ \t", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const Contact contact = MakeContact(c.text);
    EXPECT_EQ(contact.address, c.address);
    EXPECT_EQ(contact.domainKey, c.key);
  }
}

TEST(IsDomainFormTest, NamesWholeDomainsOnly) {
  EXPECT_TRUE(IsDomainForm("@example.org"));
  EXPECT_TRUE(IsDomainForm("@"));
  EXPECT_TRUE(IsDomainForm("/Acme"));
  EXPECT_TRUE(IsDomainForm("/A"));  // the third character is the end, not "="
  EXPECT_FALSE(IsDomainForm("/o=Acme/ou=Site"));
  EXPECT_FALSE(IsDomainForm("/"));
  EXPECT_FALSE(IsDomainForm(""));
  EXPECT_FALSE(IsDomainForm("a@example.org"));
  EXPECT_TRUE(IsWildcardOrDomain("*@example.org"));
  EXPECT_TRUE(IsWildcardOrDomain("john*"));
  EXPECT_TRUE(IsWildcardOrDomain("@example.org"));
  EXPECT_FALSE(IsWildcardOrDomain("john@example.org"));
}

TEST(AddressDisplayFormTest, ShowsAliasAndOrganisationOrPlainAddress) {
  EXPECT_EQ(AddressDisplayForm("/o=Acme/ou=Site/cn=Recipients/cn=JSmith"), "jsmith/Acme");
  EXPECT_EQ(AddressDisplayForm("/o=Acme/ou=Site/CN=Bob"), "bob/Acme");
  EXPECT_EQ(AddressDisplayForm("/cn=Bob"), "bob/cn=Bob");
  EXPECT_EQ(AddressDisplayForm("John@Example.org"), "John@Example.org");
  // A last component other than /cn= falls back to the "@" test.
  EXPECT_EQ(AddressDisplayForm("/o=Acme/ou=Site"), "");
  EXPECT_EQ(AddressDisplayForm("jsmith"), "");
}

}  // namespace
}  // namespace quorvel
