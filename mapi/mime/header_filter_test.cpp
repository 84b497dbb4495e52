#include "mapi/mime/header_filter.h"

#include <gtest/gtest.h>

#include <string>

namespace quorvel::mapi {
namespace {

HeaderFilterResult Filter(std::string* message) {
  HeaderFilterResult r = DropUnreadHeaders(message->data(), message->size());
  message->resize(r.size);
  return r;
}

TEST(HeaderFilterTest, KeepsTheFieldsThatAreReadInOrderWithTheirContinuations) {
  const std::string original =
      "From someone@example.org  Fri Jul 19 15:29:27 2002\n"
      "Return-Path: <a@example.org>\n"
      "Received: from relay (relay [10.0.0.1])\n"
      "\tby mx.example.org; Fri, 19 Jul 2002\n"
      "From: Ann <a@example.org>\n"
      "X-Mailer: something\n"
      "To: b@example.org,\n"
      " c@example.org\n"
      "subject: Hello\n"
      "Content-Type: text/plain;\n"
      "\tcharset=us-ascii\n"
      "X-Original-To: b@example.org\n"
      "\n"
      "Body line\nReceived: not a header\n";
  std::string message = original;
  const HeaderFilterResult r = Filter(&message);
  ASSERT_TRUE(r.filtered);
  const std::string kept =
      "From someone@example.org  Fri Jul 19 15:29:27 2002\n"
      "From: Ann <a@example.org>\n"
      "To: b@example.org,\n"
      " c@example.org\n"
      "subject: Hello\n"
      "Content-Type: text/plain;\n"
      "\tcharset=us-ascii\n"
      "X-Original-To: b@example.org\n"
      "\n";
  EXPECT_EQ(message, kept + "Body line\nReceived: not a header\n");
  EXPECT_EQ(r.keptHeaderBytes, kept.size());
  EXPECT_EQ(r.originalHeaders, original.substr(0, original.find("\n\n") + 2));
}

TEST(HeaderFilterTest, CrlfLinesAreFilteredLikeLfLines) {
  std::string message = "Received: x\r\n\tmore\r\nSubject: s\r\n\r\nbody\r\n";
  ASSERT_TRUE(Filter(&message).filtered);
  EXPECT_EQ(message, "Subject: s\r\n\r\nbody\r\n");
}

// Anything unusual is left exactly as it came, for GMime to judge.
TEST(HeaderFilterTest, LeavesUnusualBlocksAlone) {
  const std::string cases[] = {
      "Received: x\nSubject: s\n",                            // no empty line
      "Received : x\nSubject: s\n\nbody",                     // blank before the colon
      "Received: x\nnot a field\nSubject: s\n\nbody",         // a line without a colon
      " Received: x\nSubject: s\n\nbody",                     // a continuation first
      "Received: x\rSubject: s\n\nbody",                      // a bare CR
      std::string("Received: x\0y\nSubject: s\n\nbody", 27),  // a NUL
      "X(odd): x\nSubject: s\n\nbody",                        // an unusual name character
      "Received: x\nX-Mailer: y\n\nbody",                     // nothing is kept
      "Subject: s\nFrom: a@b\n\nbody",                        // nothing is dropped
      "\nReceived: x\n",                                      // an empty block
      "",                                                     // nothing at all
      "From a@b Fri Jul 19\nReceived: x\nFrom a@b Fri Jul 19\nSubject: s\n\nbody",
  };
  for (const std::string& original : cases) {
    std::string message = original;
    const HeaderFilterResult r = Filter(&message);
    EXPECT_FALSE(r.filtered) << original;
    EXPECT_EQ(message, original);
  }
}

}  // namespace
}  // namespace quorvel::mapi
