#include "core/classifier.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/classify_test_fixture.h"
#include "core/reason_text.h"
#include "lists/contact.h"

namespace quorvel {
namespace {

using testing_support::AttachmentSpec;
using testing_support::ClassifyFixture;
using testing_support::MessageSpec;

constexpr platform::FileTime kAddedAt = 100;

// The words of MessageSpec's default body, all known as good.
const std::vector<std::u16string> kOrdinaryWords = {u"plain",   u"words",  u"ordinary", u"message",
                                                    u"nothing", u"more",   u"say",      u"about",
                                                    u"the",     u"weather"};
const std::vector<std::u16string> kSpamWords = {u"winner",   u"prize",   u"claim", u"urgent",
                                                u"transfer", u"million", u"bank"};
constexpr const char* kSpamBody = "winner prize claim urgent transfer million bank now!\r\n";

class ClassifierTest : public ClassifyFixture {
 protected:
  ClassifierTest() {
    CompileTable(kOrdinaryWords, kSpamWords);
    SettingsHolder::Locked live = settings_.Lock();
    live->whiteList.AddAddress(MakeContact("friend@white.example"), "Friend", kAddedAt);
    live->whiteList.AddDomain(MakeContact("@whitedomain.example"));
    live->whiteListWildcards.Insert("*@whitewild.example");
    live->blackList.AddAddress(MakeContact("friend@white.example"), "", kAddedAt);
    live->blackList.AddAddress(MakeContact("enemy@black.example"), "", kAddedAt);
    live->blackList.AddDomain(MakeContact("@blackdomain.example"));
    live->blackListWildcards.Insert("*@blackwild.example");
    live->safeRecipients.AddAddress(MakeContact("list@safe.example"), "List", kAddedAt);
    live->safeRecipientsWildcards.Insert("team-*@lists.example");
    live->sentSubjs.AddAddress(MakeContact("Weekly report"), "", kAddedAt);
    live->sentFromNames.AddAddress(MakeContact("Me at Work"), "", kAddedAt);
    live->customGoodDictionary.Insert("Project Zephyr");
    live->customSpamDictionary.Insert("Lottery");
  }
};

MessageSpec From(const char* address) {
  MessageSpec spec;
  spec.senderAddress = address;
  return spec;
}

struct PrecedenceCase {
  const char* story;
  MessageSpec spec;
  bool spam;
  std::string reason;
};

TEST_F(ClassifierTest, TheFirstRuleThatDecidesWins) {
  auto with = [](MessageSpec spec, auto change) {
    change(spec);
    return spec;
  };
  const PrecedenceCase cases[] = {
      {"a report about a White List address is genuine",
       with(From("postmaster@mx.example"),
            [](MessageSpec& s) {
              s.subject = "Undeliverable: Lottery";
              s.body = "Your message to friend@white.example could not be delivered.";
              s.attachments = {{"ViRuSWarning.txt"}};
            }),
       false, FormatReason(kReasonDeliveryReport)},
      {"a report about an unknown address is suspicious",
       with(From("MAILER-DAEMON@mx.example"),
            [](MessageSpec& s) {
              s.subject = "Returned mail: see transcript";
              s.body = "Delivery to stranger@nowhere.example failed.";
            }),
       true, FormatReason(kReasonSuspiciousReport)},
      {"not an e-mail item",
       with(From("enemy@black.example"), [](MessageSpec& s) { s.messageClass = "IPM.Notes"; }),
       false, FormatReason(kReasonNotEmailItem)},
      {"a draft is left alone",
       with(From("enemy@black.example"), [](MessageSpec& s) { s.messageFlags = 0x8; }), false,
       FormatReason(kReasonDraft)},
      {"an anti-virus report beats every list",
       with(From("friend@white.example"),
            [](MessageSpec& s) {
              s.recipients = {{"list@safe.example", "List"}};
              s.attachments = {{"Norton AntiVirus Report.TXT"}};
            }),
       true, FormatReason(kReasonAvReport)},
      {"a safe recipient beats the Black List",
       with(From("enemy@black.example"),
            [](MessageSpec& s) {
              s.recipients = {{"x@y.example", ""}, {"List@Safe.example", ""}};
            }),
       false, FormatReason(kReasonSafeRecipient, "list@safe.example")},
      {"a safe recipient pattern",
       with(From("enemy@black.example"),
            [](MessageSpec& s) {
              s.recipients = {{"team-dev@lists.example", ""}};
            }),
       false, FormatReason(kReasonSafeRecipient, "team-*@lists.example")},
      {"a sender in both lists is white", From("friend@white.example"), false,
       FormatReason(kReasonWhiteAddress, "friend@white.example")},
      {"a White List domain", From("anyone@WhiteDomain.example"), false,
       FormatReason(kReasonWhiteDomain, "@whitedomain.example")},
      {"a White List pattern", From("x@whitewild.example"), false,
       FormatReason(kReasonWhiteWildcard, "*@whitewild.example")},
      {"a Not-Spam word beats the Black List",
       with(From("enemy@black.example"), [](MessageSpec& s) { s.subject = "PROJECT ZEPHYR news"; }),
       false, FormatReason(kReasonNotSpamWord, "project zephyr")},
      {"a White List sender with a spam word",
       with(From("friend@white.example"), [](MessageSpec& s) { s.body = "You won the lottery"; }),
       false, FormatReason(kReasonWhiteAddress, "friend@white.example")},
      {"a Black List address", From("Enemy@Black.example"), true,
       FormatReason(kReasonBlackAddress, "enemy@black.example")},
      {"a Black List domain", From("who@blackdomain.example"), true,
       FormatReason(kReasonBlackDomain, "@blackdomain.example")},
      {"a Black List pattern", From("who@blackwild.example"), true,
       FormatReason(kReasonBlackWildcard, "*@blackwild.example")},
      {"a spam word inside a longer word, in capitals",
       with(From("who@nowhere.example"), [](MessageSpec& s) { s.body = "LOTTERYWINNER here"; }),
       true, FormatReason(kReasonSpamWord, "lottery")},
      {"a spam word in the sender's name",
       with(From("who@nowhere.example"), [](MessageSpec& s) { s.senderName = "Lottery Office"; }),
       true, FormatReason(kReasonSpamWord, "lottery")},
      {"a blank sender address", From(""), true, FormatReason(kReasonBlankSender)},
      {"a name the user sends under",
       with(From("who@nowhere.example"), [](MessageSpec& s) { s.senderName = "ME AT WORK"; }),
       false, FormatReason(kReasonOwnDisplayName)},
      {"broken HTML",
       with(From("who@nowhere.example"),
            [](MessageSpec& s) {
              s.body = "<html><body><p>never closed";
              s.htmlBody = true;
            }),
       true, FormatReason(kReasonBrokenHtml)},
      {"an executable attachment",
       with(From("who@nowhere.example"), [](MessageSpec& s) { s.attachments = {{"SETUP.EXE"}}; }),
       true, FormatReason(kReasonExecutable)},
      {"an empty message",
       with(From("who@nowhere.example"), [](MessageSpec& s) { s.body = " \r\n\t"; }), true,
       FormatReason(kReasonEmpty)},
      {"the Bayesian filter finds spam",
       with(From("who@nowhere.example"), [](MessageSpec& s) { s.body = kSpamBody; }), true, ""},
      {"the Bayesian filter finds good mail", From("who@nowhere.example"), false, ""},
  };
  for (const PrecedenceCase& c : cases) {
    SCOPED_TRACE(c.story);
    const Verdict verdict = Judge(c.spec);
    EXPECT_EQ(verdict.spam, c.spam);
    if (c.reason.empty()) {
      EXPECT_TRUE(verdict.reason.starts_with("Bayesian Filter\nTotal Score is ")) << verdict.reason;
    } else {
      EXPECT_EQ(verdict.reason, c.reason);
    }
  }
  EXPECT_TRUE(boxes_.shown().empty());
}

TEST_F(ClassifierTest, EmailItemClassesAreExact) {
  struct Case {
    std::optional<std::string> messageClass;
    bool email;
  };
  const Case cases[] = {{"IPM.Note", true},    {"IPM.Note.Custom", true}, {"IPM.Notes", false},
                        {"ipm.note", false},   {"IPM.Not", false},        {"", false},
                        {std::nullopt, false}, {"IPM.Note.", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.messageClass.value_or("(absent)"));
    MessageSpec spec = From("enemy@black.example");
    spec.messageClass = c.messageClass;
    const Verdict verdict = Judge(spec);
    EXPECT_EQ(verdict.reason == FormatReason(kReasonNotEmailItem), !c.email) << verdict.reason;
    EXPECT_EQ(verdict.spam, c.email);  // an e-mail item from this sender is blacklisted
  }
}

TEST_F(ClassifierTest, FlagWordsChooseTheRuleGroups) {
  MessageSpec draftFromBlack = From("enemy@black.example");
  draftFromBlack.messageFlags = 0x8;
  MessageSpec whiteWithSpamWord = From("friend@white.example");
  whiteWithSpamWord.body = "lottery";
  MessageSpec safeRecipient = From("who@nowhere.example");
  safeRecipient.recipients = {{"list@safe.example", ""}};
  safeRecipient.body = kSpamBody;
  MessageSpec avReport = From("friend@white.example");
  avReport.attachments = {{"deleted0.txt"}};

  struct Case {
    const char* story;
    const MessageSpec* spec;
    ClassifyFlags flags;
    bool spam;
    std::string reason;
  };
  const Case cases[] = {
      {"flag word 0: nothing but the reports", &draftFromBlack, 0, false,
       FormatReason(kReasonNoDecision)},
      {"flag word 0: the anti-virus report still counts", &avReport, 0, true,
       FormatReason(kReasonAvReport)},
      {"content only: the Black List is not asked", &draftFromBlack, kCheckContent, false, ""},
      {"content only: the White List is not asked", &whiteWithSpamWord, kCheckContent, true,
       FormatReason(kReasonSpamWord, "lottery")},
      {"content only: the recipients are not asked", &safeRecipient, kCheckContent, true, ""},
      {"the anti-virus report runs with content only", &avReport, kCheckContent, true,
       FormatReason(kReasonAvReport)},
      {"0x10 alone is a list bit", &draftFromBlack, 0x10, true,
       FormatReason(kReasonBlackAddress, "enemy@black.example")},
      {"0x20 alone is not", &draftFromBlack, 0x20, false, FormatReason(kReasonNoDecision)},
      {"0x40 is a list bit", &draftFromBlack, 0x40, true,
       FormatReason(kReasonBlackAddress, "enemy@black.example")},
      {"the standard word checks drafts", &draftFromBlack, kStandardFlags, false,
       FormatReason(kReasonDraft)},
      {"the worker's word checks drafts", &draftFromBlack, kWorkerFlagsLearning, false,
       FormatReason(kReasonDraft)},
      {"the standard word asks the recipients", &safeRecipient, kStandardFlags, false,
       FormatReason(kReasonSafeRecipient, "list@safe.example")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.story);
    const Verdict verdict = Judge(*c.spec, c.flags);
    EXPECT_EQ(verdict.spam, c.spam) << verdict.reason;
    if (c.reason.empty()) {
      EXPECT_TRUE(verdict.reason.starts_with("Bayesian Filter\nTotal Score is ")) << verdict.reason;
    } else {
      EXPECT_EQ(verdict.reason, c.reason);
    }
  }
}

TEST_F(ClassifierTest, MailFoundGoodByAListIsLearnedOnlyWithLearnGood) {
  Judge(From("friend@white.example"), kStandardFlags);
  EXPECT_EQ(GoodMessagesLearned(), 0);

  Judge(From("friend@white.example"), kWorkerFlagsLearning);
  EXPECT_EQ(GoodMessagesLearned(), 1);
  // What was learned is the body and the subject.
  const TokenCorpus good = mailbase_.store().PendingPair().Half(CorpusPair::kGood);
  EXPECT_GT(good.Count(u"ordinary"), 0);

  // Spam from a list, and good mail found by the Bayesian filter, teach nothing.
  Judge(From("enemy@black.example"), kWorkerFlagsLearning);
  Judge(From("who@nowhere.example"), kWorkerFlagsLearning);
  EXPECT_EQ(GoodMessagesLearned(), 1);
}

TEST_F(ClassifierTest, MatchedEntriesTakeTheClassificationTime) {
  const platform::FileTime created = clock_.Now();
  const Classifier classifier(Context());
  clock_.AdvanceMs(5000);  // the classifier keeps the time it was made at
  MessageSpec spec = From("friend@white.example");
  spec.recipients = {{"someone@else.example", ""}};
  EXPECT_FALSE(classifier.Judge(Deliver(spec), kStandardFlags).spam);

  SettingsHolder::Locked live = settings_.Lock();
  auto white = live->whiteList.Find(MakeContact("friend@white.example"));
  ASSERT_TRUE(white && white->Entry());
  EXPECT_EQ(white->Entry()->lastUsed, created);
  // The Black List was never reached.
  auto black = live->blackList.Find(MakeContact("friend@white.example"));
  ASSERT_TRUE(black && black->Entry());
  EXPECT_EQ(black->Entry()->lastUsed, kAddedAt);
}

TEST_F(ClassifierTest, WithoutAReasonPlaceOnlyTheVerdictComesBack) {
  const Classifier classifier(Context());
  EXPECT_TRUE(classifier.Classify(Deliver(From("enemy@black.example")), nullptr, kStandardFlags));
  EXPECT_FALSE(classifier.Classify(Deliver(From("friend@white.example")), nullptr, kStandardFlags));
}

TEST_F(ClassifierTest, ANullMessageIsNotAnEmailItem) {
  const Verdict verdict = Classifier(Context()).Judge(nullptr, kStandardFlags);
  EXPECT_FALSE(verdict.spam);
  EXPECT_EQ(verdict.reason, FormatReason(kReasonNotEmailItem));
}

TEST_F(ClassifierTest, TrustedDomainsCountAsWhiteListDomains) {
  EXPECT_TRUE(kBuiltInTrustedDomains.empty());
  static constexpr std::string_view kTrusted[] = {"@maker.example"};
  ClassifyContext context = Context();
  context.trustedDomains = kTrusted;
  MessageSpec spec = From("news@Maker.example");
  const Verdict verdict = Classifier(context).Judge(Deliver(spec), kStandardFlags);
  EXPECT_FALSE(verdict.spam);
  EXPECT_EQ(verdict.reason, FormatReason(kReasonWhiteDomain, "@Maker.example"));
  // Without the table the same sender is judged by its content.
  EXPECT_TRUE(Judge(spec).reason.starts_with("Bayesian Filter"));
}

}  // namespace
}  // namespace quorvel
