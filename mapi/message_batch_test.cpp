#include "mapi/message_batch.h"

#include <gtest/gtest.h>

#include <vector>

namespace quorvel::mapi {
namespace {

TEST(MessageBatchTest, EveryMessageIsTriedAndTheOutcomeSumsThemUp) {
  struct Case {
    std::vector<HRESULT> outcomes;  // what each message's act returns
    HRESULT expected;
  } cases[] = {
      {{}, S_OK},
      {{S_OK, S_OK}, S_OK},
      {{S_OK, MAPI_E_NOT_FOUND, S_OK}, MAPI_W_PARTIAL_COMPLETION},
      // A failure wins over a missing message, and the first failure is the one said.
      {{MAPI_E_NOT_FOUND, MAPI_E_NO_ACCESS, S_OK, MAPI_E_CALL_FAILED}, MAPI_E_NO_ACCESS},
      {{S_OK, MAPI_E_CALL_FAILED, MAPI_E_NOT_FOUND}, MAPI_E_CALL_FAILED},
  };
  for (const Case& c : cases) {
    std::vector<EntryId> ids;
    for (std::size_t i = 0; i < c.outcomes.size(); ++i) {
      ids.push_back(EntryId(std::string(1, static_cast<char>('a' + i))));
    }
    std::vector<std::string> tried;
    HRESULT hr = ForEachMessage(ids, [&](const EntryId& id) {
      tried.emplace_back(id.bytes());
      return c.outcomes[tried.size() - 1];
    });
    EXPECT_EQ(hr, c.expected);
    EXPECT_EQ(tried.size(), c.outcomes.size());  // a failure does not stop the others
  }
}

}  // namespace
}  // namespace quorvel::mapi
