#include "core/predefined_rules.h"

#include <gtest/gtest.h>

#include <string>

#include "core/classify_test_fixture.h"
#include "core/reason_text.h"
#include "lists/contact.h"

namespace quorvel {
namespace {

using testing_support::AttachmentSpec;
using testing_support::ClassifyFixture;
using testing_support::MessageSpec;

// `count` characters of ordinary text (words known as good) ending in a blank.
std::string Filler(std::size_t count) {
  std::string text;
  while (text.size() < count) text += "plain words ";
  text.resize(count);
  if (count > 0) text.back() = ' ';
  return text;
}

class PredefinedRulesTest : public ClassifyFixture {
 protected:
  PredefinedRulesTest() {
    CompileTable({u"plain", u"words", u"ordinary", u"message", u"nothing", u"more", u"say",
                  u"about", u"the", u"weather", u"hello", u"photo", u"here"},
                 {});
  }

  std::string ReasonFor(const MessageSpec& spec) { return Judge(spec, kCheckContent).reason; }
};

TEST_F(PredefinedRulesTest, MarkersAndHeadersCountOnlyNearTheTop) {
  MessageSpec spec;
  const std::string tail = " and the weather says nothing more about plain words\r\n";
  struct Case {
    std::size_t at;
    bool fires;
  };
  for (const Case& c : {Case{0, true}, Case{119, true}, Case{120, false}}) {
    SCOPED_TRACE(c.at);
    spec.body = Filler(c.at) + "arbr3cd0" + tail;
    EXPECT_EQ(ReasonFor(spec) == FormatReason(kReasonSuspiciousImage), c.fires);
  }
  // A second marker further down changes nothing: the first one counts.
  spec.body = Filler(130) + "arbr3cd0 " + Filler(10) + "arbr3cd0" + tail;
  EXPECT_NE(ReasonFor(spec), FormatReason(kReasonSuspiciousImage));

  spec.body = MessageSpec().body;
  for (const Case& c : {Case{0, true}, Case{199, true}, Case{200, false}}) {
    SCOPED_TRACE(c.at);
    spec.headers = std::string(c.at, 'x') + std::string(kRdnsFailedRemark) + " mx.example\r\n";
    EXPECT_EQ(ReasonFor(spec) == FormatReason(kReasonRdnsFailed), c.fires);
  }
  spec.headers = "Received: from [10.0.0.1] (] rdns FAILED) by mx\r\n";  // exact text only
  EXPECT_NE(ReasonFor(spec), FormatReason(kReasonRdnsFailed));
}

TEST_F(PredefinedRulesTest, ImagesInHtmlBodies) {
  struct Case {
    const char* story;
    const char* html;
    bool checkExternalImages;
    std::string reason;  // empty: no predefined rule
  };
  const Case cases[] = {
      {"an embedded image at the top",
       "<html><body><img src=\"cid:part1\"> hello the weather"
       " says nothing more about plain words</body></html>",
       true, FormatReason(kReasonSuspiciousImage)},
      {"an embedded image inside a link",
       "<html><body>hello the weather says nothing more about plain words <a href=\"http://x."
       "example/\"><img src=\"cid:part1\"></a> more words here</body></html>",
       true, FormatReason(kReasonLinkedImage)},
      {"an image from the Internet",
       "<html><body>hello the weather <img src=\"http://x.example/p.gif\"> says nothing more"
       " about plain words</body></html>",
       true, FormatReason(kReasonInternetImage)},
      {"an image from the Internet, not distrusted",
       "<html><body>hello the weather <img src=\"http://x.example/p.gif\"> says nothing more"
       " about plain words</body></html>",
       false, ""},
      {"not distrusted, but an embedded image inside a link still counts",
       "<html><body>hello the weather <img src=\"http://x.example/p.gif\"> <a href=\"http://x."
       "example/\"><img src=\"cid:p\"></a> says nothing more about plain words</body></html>",
       false, FormatReason(kReasonLinkedImage)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.story);
    settings_.Lock()->checkExternalImages = c.checkExternalImages ? 1 : 0;
    MessageSpec spec;
    spec.body = c.html;
    spec.htmlBody = true;
    const std::string reason = ReasonFor(spec);
    if (c.reason.empty()) {
      EXPECT_TRUE(reason.starts_with("Bayesian Filter\nTotal Score")) << reason;
    } else {
      EXPECT_EQ(reason, c.reason);
    }
  }
}

TEST_F(PredefinedRulesTest, EmptyMessagesAndTheirAttachments) {
  struct Case {
    const char* story;
    std::string body;
    std::vector<AttachmentSpec> attachments;
    std::string reason;
  };
  const Case cases[] = {
      {"blanks and line breaks only", " \r\n\t\r\n ", {}, FormatReason(kReasonEmpty)},
      {"nothing at all", "", {}, FormatReason(kReasonEmpty)},
      {"an HTML page attached", "", {{"page.htm"}}, FormatReason(kReasonEmptyWithHtml)},
      {"an attachment shown in the body",
       "\r\n",
       {{"photo.jpg", 0x4}},
       FormatReason(kReasonEmptyWithHtml)},
      {"a plain photo: the Bayesian filter decides",
       "",
       {{"photo.jpg"}},
       FormatReason(kReasonBayesTooLittle)},
      {"a vertical tab is not blank", "\v", {}, FormatReason(kReasonBayesTooLittle)},
      {"an executable before the empty test",
       "",
       {{"page.htm"}, {"notes.combined"}},
       FormatReason(kReasonExecutable)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.story);
    MessageSpec spec;
    spec.body = c.body;
    spec.attachments = c.attachments;
    EXPECT_EQ(ReasonFor(spec), c.reason);
  }
}

TEST_F(PredefinedRulesTest, SenderTests) {
  MessageSpec spec;
  spec.senderAddress.reset();  // a missing address reads as empty
  spec.body = "arbr4cd0";
  EXPECT_EQ(ReasonFor(spec), FormatReason(kReasonBlankSender));
  spec.senderAddress = " ";  // not trimmed for this test
  EXPECT_EQ(ReasonFor(spec), FormatReason(kReasonBrokenHtml));

  // A name the user sends under acquits, and the look-up leaves the entry's age.
  settings_.Lock()->sentFromNames.AddAddress(MakeContact("Me at Work"), "", 7);
  spec.senderName = "\"me at work\"";
  EXPECT_EQ(ReasonFor(spec), FormatReason(kReasonOwnDisplayName));
  auto found = settings_.Lock()->sentFromNames.Find(MakeContact("Me at Work"));
  ASSERT_TRUE(found && found->Entry());
  EXPECT_EQ(found->Entry()->lastUsed, 7u);
}

}  // namespace
}  // namespace quorvel
