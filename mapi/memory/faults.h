// Faults: makes chosen calls of the in-memory store fail, and counts calls, so that
// every "if that fails" of the code above can be tested.
//
//   session->faults().Fail(Call::kCopyMessages, inboxId, MAPI_E_CALL_FAILED);
//   session->faults().Fail(Call::kGetProps, messageId, MAPI_E_NOT_ENOUGH_MEMORY, 1);
//   session->faults().Override(messageId, PR_MESSAGE_FLAGS, PropValue::Long(...));
//
// The target of a call is the object it is made on (a folder, message, store or
// address-book container), for table calls the object the table was opened on, and for
// session calls (OpenEntry, OpenMsgStore) the id asked for. Session tables (stores,
// status, providers) have an absent target; an attachment's calls have its message's
// id. An absent target in Fail matches any.
// Thread-safety: all methods may be called from any thread (one internal lock).
#ifndef QUORVEL_MAPI_MEMORY_FAULTS_H_
#define QUORVEL_MAPI_MEMORY_FAULTS_H_

#include <cstddef>
#include <map>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "mapi/entry_id.h"
#include "mapi/prop_value.h"

namespace quorvel::mapi::memory {

enum class Call {
  // Session.
  kOpenEntry,
  kGetMsgStoresTable,
  kOpenMsgStore,
  kGetStatusTable,
  kGetProviderTable,
  kCompareEntryIDs,
  kOpenAddressBook,
  // Every object.
  kGetProps,
  kGetPropList,
  kSetProps,
  kDeleteProps,
  kSaveChanges,
  kOpenProperty,
  kGetIDsFromNames,
  // Stores.
  kStoreOpenEntry,
  kGetReceiveFolderTable,
  kGetReceiveFolder,
  kSetReceiveFolder,
  kAdvise,
  kUnadvise,
  // Folders and containers.
  kGetContentsTable,
  kGetHierarchyTable,
  kCreateMessage,
  kCopyMessages,
  kDeleteMessages,
  kCreateFolder,
  kDeleteFolder,
  // Messages.
  kGetRecipientTable,
  kGetAttachmentTable,
  kOpenAttach,
  kCreateAttach,
  kDeleteAttach,
  kModifyRecipients,
  kSetReadFlag,
  // Tables.
  kSetColumns,
  kRestrict,
  kSeekRow,
  kQueryRows,
  kGetRowCount,
  // Streams opened with OpenProperty.
  kStreamRead,
  kStreamWrite,
  kStreamCommit,
};

class Faults {
 public:
  // Makes `call` on `target` fail with `hr`: after `skip` calls that succeed, the next
  // `times` calls fail (times < 0: every call from then on).
  void Fail(Call call, const EntryId& target, HRESULT hr, int times = -1, int skip = 0);
  // GetProps (and HrGetOneProp) on `target` return `value` for `tag`, whatever is stored.
  void Override(const EntryId& target, PropTag tag, PropValue value);
  // Forgets every fault and override (call counts stay).
  void Clear();

  // How many times `call` was made on `target` (absent: on any object).
  std::size_t Calls(Call call, const EntryId& target = {}) const;
  void ResetCalls();

  // For the store: counts the call and gives the failure to return, or S_OK.
  HRESULT Check(Call call, const EntryId& target);
  // For the store: the override of `tag` on `target`, if any.
  std::optional<PropValue> OverrideFor(const EntryId& target, PropTag tag) const;

 private:
  struct Rule {
    Call call;
    EntryId target;
    HRESULT hr;
    int times;
    int skip;
  };
  mutable std::mutex mutex_;
  std::vector<Rule> rules_;                                     // guarded by mutex_
  std::map<std::pair<EntryId, PropTag>, PropValue> overrides_;  // guarded by mutex_
  std::map<std::pair<Call, EntryId>, std::size_t> calls_;       // guarded by mutex_
};

}  // namespace quorvel::mapi::memory

#endif  // QUORVEL_MAPI_MEMORY_FAULTS_H_
