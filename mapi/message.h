// Messages and their attachments (modelled on IMessage and IAttach).
#ifndef QUORVEL_MAPI_MESSAGE_H_
#define QUORVEL_MAPI_MESSAGE_H_

#include <cstdint>
#include <memory>

#include "mapi/mapi_prop.h"
#include "mapi/table.h"

namespace quorvel::mapi {

class Attach : public MapiProp {};

class Message : public MapiProp {
 public:
  // One row per recipient: PR_RECIPIENT_TYPE, PR_DISPLAY_NAME, PR_EMAIL_ADDRESS,
  // PR_ADDRTYPE, PR_ROWID and whatever else the recipient carries.
  virtual Result<std::shared_ptr<Table>> GetRecipientTable(std::uint32_t flags) = 0;
  // One row per attachment: PR_ATTACH_NUM and the attachment's properties.
  virtual Result<std::shared_ptr<Table>> GetAttachmentTable(std::uint32_t flags) = 0;
  virtual Result<std::shared_ptr<Attach>> OpenAttach(std::uint32_t attachNum,
                                                     std::uint32_t flags) = 0;
  // A new attachment; its number is its PR_ATTACH_NUM. It becomes part of the message
  // at the attachment's SaveChanges, and durable at the message's.
  virtual Result<std::shared_ptr<Attach>> CreateAttach(std::uint32_t flags) = 0;
  virtual HRESULT DeleteAttach(std::uint32_t attachNum, std::uint32_t flags) = 0;
  // MODRECIP_ADD appends rows, MODRECIP_MODIFY replaces the rows with the same PR_ROWID,
  // MODRECIP_REMOVE removes them; flags 0 replaces every recipient.
  virtual HRESULT ModifyRecipients(std::uint32_t flags, const RowSet& rows) = 0;
  // Sets (flags 0) or clears (CLEAR_READ_FLAG) MSGFLAG_READ at once, no SaveChanges.
  virtual HRESULT SetReadFlag(std::uint32_t flags) = 0;
};

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_MESSAGE_H_
