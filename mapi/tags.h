// The mail-store layer's numbers: result codes, property types and tags, flags,
// event masks, object types and provider identifiers, named as the messaging
// system names them so that code reads like code written against it.
#ifndef QUORVEL_MAPI_TAGS_H_
#define QUORVEL_MAPI_TAGS_H_

#include <cstdint>
#include <string_view>

namespace quorvel::mapi {

// ---- Result codes -------------------------------------------------------------
// Negative values are failures; 0 and positive values (warnings) are success.
using HRESULT = std::int32_t;
constexpr HRESULT MakeResult(std::uint32_t code) { return static_cast<HRESULT>(code); }
constexpr bool Succeeded(HRESULT hr) { return hr >= 0; }
constexpr bool Failed(HRESULT hr) { return hr < 0; }

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT MAPI_W_ERRORS_RETURNED = MakeResult(0x00040380);
inline constexpr HRESULT MAPI_W_POSITION_CHANGED = MakeResult(0x00040481);
inline constexpr HRESULT MAPI_W_PARTIAL_COMPLETION = MakeResult(0x00040680);
inline constexpr HRESULT E_FAIL = MakeResult(0x80004005);
inline constexpr HRESULT E_NOINTERFACE = MakeResult(0x80004002);
inline constexpr HRESULT E_POINTER = MakeResult(0x80004003);
inline constexpr HRESULT E_UNEXPECTED = MakeResult(0x8000FFFF);
inline constexpr HRESULT E_ACCESSDENIED = MakeResult(0x80070005);
inline constexpr HRESULT E_OUTOFMEMORY = MakeResult(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = MakeResult(0x80070057);
inline constexpr HRESULT MAPI_E_CALL_FAILED = E_FAIL;
inline constexpr HRESULT MAPI_E_INTERFACE_NOT_SUPPORTED = E_NOINTERFACE;
inline constexpr HRESULT MAPI_E_NO_ACCESS = E_ACCESSDENIED;
inline constexpr HRESULT MAPI_E_NOT_ENOUGH_MEMORY = E_OUTOFMEMORY;
inline constexpr HRESULT MAPI_E_INVALID_PARAMETER = E_INVALIDARG;
inline constexpr HRESULT MAPI_E_NO_SUPPORT = MakeResult(0x80040102);
inline constexpr HRESULT MAPI_E_BAD_CHARWIDTH = MakeResult(0x80040103);
inline constexpr HRESULT MAPI_E_STRING_TOO_LONG = MakeResult(0x80040105);
inline constexpr HRESULT MAPI_E_UNKNOWN_FLAGS = MakeResult(0x80040106);
inline constexpr HRESULT MAPI_E_INVALID_ENTRYID = MakeResult(0x80040107);
inline constexpr HRESULT MAPI_E_INVALID_OBJECT = MakeResult(0x80040108);
inline constexpr HRESULT MAPI_E_OBJECT_CHANGED = MakeResult(0x80040109);
inline constexpr HRESULT MAPI_E_OBJECT_DELETED = MakeResult(0x8004010A);
inline constexpr HRESULT MAPI_E_BUSY = MakeResult(0x8004010B);
inline constexpr HRESULT MAPI_E_NOT_ENOUGH_DISK = MakeResult(0x8004010D);
inline constexpr HRESULT MAPI_E_NOT_ENOUGH_RESOURCES = MakeResult(0x8004010E);
inline constexpr HRESULT MAPI_E_NOT_FOUND = MakeResult(0x8004010F);
inline constexpr HRESULT MAPI_E_VERSION = MakeResult(0x80040110);
inline constexpr HRESULT MAPI_E_LOGON_FAILED = MakeResult(0x80040111);
inline constexpr HRESULT MAPI_E_USER_CANCEL = MakeResult(0x80040113);
inline constexpr HRESULT MAPI_E_DISK_ERROR = MakeResult(0x80040116);
inline constexpr HRESULT MAPI_E_TOO_COMPLEX = MakeResult(0x80040117);
inline constexpr HRESULT MAPI_E_CORRUPT_DATA = MakeResult(0x8004011B);
inline constexpr HRESULT MAPI_E_INVALID_TYPE = MakeResult(0x80040302);
inline constexpr HRESULT MAPI_E_TYPE_NO_SUPPORT = MakeResult(0x80040303);
inline constexpr HRESULT MAPI_E_TOO_BIG = MakeResult(0x80040305);
inline constexpr HRESULT MAPI_E_UNABLE_TO_COMPLETE = MakeResult(0x80040400);
inline constexpr HRESULT MAPI_E_TIMEOUT = MakeResult(0x80040401);
inline constexpr HRESULT MAPI_E_TABLE_TOO_BIG = MakeResult(0x80040403);
inline constexpr HRESULT MAPI_E_END_OF_SESSION = MakeResult(0x80040200);
inline constexpr HRESULT MAPI_E_COLLISION = MakeResult(0x80040604);
inline constexpr HRESULT MAPI_E_NOT_INITIALIZED = MakeResult(0x80040605);
inline constexpr HRESULT MAPI_E_HAS_FOLDERS = MakeResult(0x80040609);
inline constexpr HRESULT MAPI_E_HAS_MESSAGES = MakeResult(0x8004060A);
inline constexpr HRESULT MAPI_E_FOLDER_CYCLE = MakeResult(0x8004060B);

// ---- Property types and tags ---------------------------------------------------
using PropTag = std::uint32_t;

inline constexpr std::uint32_t PT_UNSPECIFIED = 0x0000;
inline constexpr std::uint32_t PT_NULL = 0x0001;
inline constexpr std::uint32_t PT_I2 = 0x0002;
inline constexpr std::uint32_t PT_LONG = 0x0003;
inline constexpr std::uint32_t PT_ERROR = 0x000A;
inline constexpr std::uint32_t PT_BOOLEAN = 0x000B;
inline constexpr std::uint32_t PT_OBJECT = 0x000D;
inline constexpr std::uint32_t PT_I8 = 0x0014;
inline constexpr std::uint32_t PT_STRING8 = 0x001E;
inline constexpr std::uint32_t PT_UNICODE = 0x001F;
inline constexpr std::uint32_t PT_SYSTIME = 0x0040;
inline constexpr std::uint32_t PT_BINARY = 0x0102;

constexpr std::uint32_t PROP_TYPE(PropTag tag) { return tag & 0xFFFFu; }
constexpr std::uint32_t PROP_ID(PropTag tag) { return tag >> 16; }
constexpr PropTag PROP_TAG(std::uint32_t type, std::uint32_t id) { return (id << 16) | type; }
constexpr PropTag CHANGE_PROP_TYPE(PropTag tag, std::uint32_t type) {
  return (tag & 0xFFFF0000u) | type;
}

// Messages.
inline constexpr PropTag PR_MESSAGE_CLASS = 0x001A001E;
inline constexpr PropTag PR_SUBJECT = 0x0037001E;
inline constexpr PropTag PR_CLIENT_SUBMIT_TIME = 0x00390040;
inline constexpr PropTag PR_SUBJECT_PREFIX = 0x003D001E;
inline constexpr PropTag PR_RECEIVED_BY_NAME = 0x0040001E;
inline constexpr PropTag PR_SENT_REPRESENTING_NAME = 0x0042001E;
inline constexpr PropTag PR_SENT_REPRESENTING_EMAIL_ADDRESS = 0x0065001E;
inline constexpr PropTag PR_RECEIVED_BY_EMAIL_ADDRESS = 0x0076001E;
inline constexpr PropTag PR_TRANSPORT_MESSAGE_HEADERS = 0x007D001E;
inline constexpr PropTag PR_RECIPIENT_TYPE = 0x0C150003;
inline constexpr PropTag PR_SENDER_NAME = 0x0C1A001E;
// On a message of a store that parses mail: the subject and the sender's name as
// decoded, whatever their script (PR_SUBJECT and PR_SENDER_NAME hold them in the ANSI
// code page). Ids of their own, for this layer keys a message's values by property id
// and so cannot hold a PT_UNICODE twin of PR_SUBJECT with other text beside it.
inline constexpr PropTag PR_UNICODE_SUBJECT = 0x67A1001F;
inline constexpr PropTag PR_UNICODE_SENDER_NAME = 0x67A2001F;
// In the same way: a folder's name (beside PR_DISPLAY_NAME) as its store names it, in
// any script, and a recipient row's display name; an attachment row's file name
// (beside PR_ATTACH_LONG_FILENAME).
inline constexpr PropTag PR_UNICODE_DISPLAY_NAME = 0x67A3001F;
inline constexpr PropTag PR_UNICODE_ATTACH_FILENAME = 0x67A4001F;
inline constexpr PropTag PR_SENDER_ADDRTYPE = 0x0C1E001E;
inline constexpr PropTag PR_SENDER_EMAIL_ADDRESS = 0x0C1F001E;
inline constexpr PropTag PR_DISPLAY_BCC = 0x0E02001E;
inline constexpr PropTag PR_DISPLAY_CC = 0x0E03001E;
inline constexpr PropTag PR_DISPLAY_TO = 0x0E04001E;
inline constexpr PropTag PR_MESSAGE_DELIVERY_TIME = 0x0E060040;
inline constexpr PropTag PR_MESSAGE_FLAGS = 0x0E070003;
inline constexpr PropTag PR_MESSAGE_SIZE = 0x0E080003;
inline constexpr PropTag PR_PARENT_ENTRYID = 0x0E090102;
inline constexpr PropTag PR_HASATTACH = 0x0E1B000B;
inline constexpr PropTag PR_NORMALIZED_SUBJECT = 0x0E1D001E;
inline constexpr PropTag PR_RTF_IN_SYNC = 0x0E1F000B;
inline constexpr PropTag PR_BODY = 0x1000001E;
inline constexpr PropTag PR_BODY_W = 0x1000001F;
inline constexpr PropTag PR_RTF_COMPRESSED = 0x10090102;
inline constexpr PropTag PR_HTML = 0x10130102;
inline constexpr PropTag PR_INTERNET_MESSAGE_ID = 0x1035001E;
// A message's IMAP UID in its mailbox (the 32 bits of the long), where the store has one.
inline constexpr PropTag PR_INTERNET_ARTICLE_NUMBER = 0x0E230003;
// The own-message mark: a long that reads 998712 on mail accepted as the user's own.
inline constexpr PropTag PR_OWN_MESSAGE_MARK = 0x7CAF0003;
inline constexpr std::int32_t kOwnMessageMarkValue = 998712;

// Every object.
inline constexpr PropTag PR_INSTANCE_KEY = 0x0FF60102;
inline constexpr PropTag PR_RECORD_KEY = 0x0FF90102;
inline constexpr PropTag PR_STORE_ENTRYID = 0x0FFB0102;
inline constexpr PropTag PR_OBJECT_TYPE = 0x0FFE0003;
inline constexpr PropTag PR_ENTRYID = 0x0FFF0102;
inline constexpr PropTag PR_ROWID = 0x30000003;
inline constexpr PropTag PR_DISPLAY_NAME = 0x3001001E;
inline constexpr PropTag PR_DISPLAY_NAME_A = PR_DISPLAY_NAME;
inline constexpr PropTag PR_DISPLAY_NAME_W = 0x3001001F;
inline constexpr PropTag PR_ADDRTYPE = 0x3002001E;
inline constexpr PropTag PR_EMAIL_ADDRESS = 0x3003001E;
inline constexpr PropTag PR_EMAIL_ADDRESS_A = PR_EMAIL_ADDRESS;
inline constexpr PropTag PR_EMAIL_ADDRESS_W = 0x3003001F;
inline constexpr PropTag PR_COMMENT = 0x3004001E;
inline constexpr PropTag PR_DEPTH = 0x30050003;
inline constexpr PropTag PR_CREATION_TIME = 0x30070040;
inline constexpr PropTag PR_LAST_MODIFICATION_TIME = 0x30080040;
inline constexpr PropTag PR_SMTP_ADDRESS = 0x39FE001E;

// Message stores, providers and the status table.
inline constexpr PropTag PR_PROVIDER_UID = 0x300C0102;
inline constexpr PropTag PR_DEFAULT_STORE = 0x3400000B;
inline constexpr PropTag PR_STORE_SUPPORT_MASK = 0x340D0003;
inline constexpr PropTag PR_MDB_PROVIDER = 0x34140102;
inline constexpr PropTag PR_VALID_FOLDER_MASK = 0x35DF0003;
inline constexpr PropTag PR_IPM_SUBTREE_ENTRYID = 0x35E00102;
inline constexpr PropTag PR_IPM_OUTBOX_ENTRYID = 0x35E20102;
inline constexpr PropTag PR_IPM_WASTEBASKET_ENTRYID = 0x35E30102;
inline constexpr PropTag PR_IPM_SENTMAIL_ENTRYID = 0x35E40102;
inline constexpr PropTag PR_SERVICE_NAME = 0x3D09001E;
inline constexpr PropTag PR_SERVICE_UID = 0x3D0C0102;
inline constexpr PropTag PR_RESOURCE_TYPE = 0x3E030003;
inline constexpr PropTag PR_STATUS_CODE = 0x3E040003;
// Boolean 0x6632000B on an Exchange store: the store also keeps a local copy of the
// mailbox, so its folders are watched like those of a local store.
inline constexpr PropTag PR_STORE_LOCAL_COPY = 0x6632000B;

// Folders and containers.
inline constexpr PropTag PR_FOLDER_TYPE = 0x36010003;
inline constexpr PropTag PR_CONTENT_COUNT = 0x36020003;
inline constexpr PropTag PR_CONTENT_UNREAD = 0x36030003;
inline constexpr PropTag PR_SUBFOLDERS = 0x360A000B;
inline constexpr PropTag PR_CONTAINER_CLASS = 0x3613001E;
inline constexpr PropTag PR_DEF_CREATE_MAILUSER = 0x36150102;
// On the Inbox and the root folder: where the default folders without a store property are.
inline constexpr PropTag PR_IPM_CONTACT_ENTRYID = 0x36D10102;
inline constexpr PropTag PR_IPM_DRAFTS_ENTRYID = 0x36D70102;
// On a folder of a store with IMAP UIDs: the mailbox's UIDVALIDITY (the 32 bits of the
// long); its UIDs name the same messages only while it stays the same.
inline constexpr PropTag PR_UID_VALIDITY = 0x67A00003;
// On the Inbox: the store's own junk folder (a Maildir's ".Junk", an IMAP server's
// \Junk mailbox), where one exists. The mail client keeps it among the multi-valued
// PR_ADDITIONAL_REN_ENTRYIDS; this layer has no multi-valued types, so it is a
// single binary property under that property id.
inline constexpr PropTag PR_JUNK_FOLDER_ENTRYID = 0x36D80102;

// Attachments.
inline constexpr PropTag PR_ATTACH_NUM = 0x0E210003;
inline constexpr PropTag PR_ATTACH_DATA_BIN = 0x37010102;
inline constexpr PropTag PR_ATTACH_FILENAME = 0x3704001E;
inline constexpr PropTag PR_ATTACH_METHOD = 0x37050003;
inline constexpr PropTag PR_ATTACH_LONG_FILENAME = 0x3707001E;
inline constexpr PropTag PR_ATTACH_MIME_TAG = 0x370E001E;
inline constexpr PropTag PR_ATTACH_CONTENT_ID = 0x3712001E;
inline constexpr PropTag PR_ATTACH_CONTENT_LOCATION = 0x3713001E;
inline constexpr PropTag PR_ATTACH_FLAGS = 0x37140003;

// ---- Flags ---------------------------------------------------------------------
// PR_MESSAGE_FLAGS.
inline constexpr std::uint32_t MSGFLAG_READ = 0x1;
inline constexpr std::uint32_t MSGFLAG_UNMODIFIED = 0x2;
inline constexpr std::uint32_t MSGFLAG_SUBMIT = 0x4;
inline constexpr std::uint32_t MSGFLAG_UNSENT = 0x8;
inline constexpr std::uint32_t MSGFLAG_HASATTACH = 0x10;
inline constexpr std::uint32_t MSGFLAG_FROMME = 0x20;
inline constexpr std::uint32_t MSGFLAG_ASSOCIATED = 0x40;
// PR_ATTACH_FLAGS.
inline constexpr std::uint32_t ATT_INVISIBLE_IN_HTML = 0x1;
inline constexpr std::uint32_t ATT_INVISIBLE_IN_RTF = 0x2;
inline constexpr std::uint32_t ATT_MHTML_REF = 0x4;
// PR_ATTACH_METHOD.
inline constexpr std::uint32_t NO_ATTACHMENT = 0;
inline constexpr std::uint32_t ATTACH_BY_VALUE = 1;
// PR_RECIPIENT_TYPE.
inline constexpr std::uint32_t MAPI_ORIG = 0;
inline constexpr std::uint32_t MAPI_TO = 1;
inline constexpr std::uint32_t MAPI_CC = 2;
inline constexpr std::uint32_t MAPI_BCC = 3;

// Opening objects and properties.
inline constexpr std::uint32_t MAPI_MODIFY = 0x1;
inline constexpr std::uint32_t MAPI_CREATE = 0x2;
inline constexpr std::uint32_t MAPI_DEFERRED_ERRORS = 0x8;
inline constexpr std::uint32_t MAPI_BEST_ACCESS = 0x10;
inline constexpr std::uint32_t MAPI_UNICODE = 0x80000000;
inline constexpr std::uint32_t MDB_NO_DIALOG = 0x1;
inline constexpr std::uint32_t MDB_WRITE = 0x4;
inline constexpr std::uint32_t MDB_NO_MAIL = 0x80;
inline constexpr std::uint32_t AB_NO_DIALOG = 0x1;
inline constexpr std::uint32_t STORE_UNCOMPRESSED_RTF = 0x8000;
// Session start-up.
inline constexpr std::uint32_t MAPI_MULTITHREAD_NOTIFICATIONS = 0x1;
inline constexpr std::uint32_t MAPI_LOGON_UI = 0x1;
inline constexpr std::uint32_t MAPI_EXTENDED = 0x20;
inline constexpr std::uint32_t MAPI_USE_DEFAULT = 0x40;
// Saving, moving, deleting.
inline constexpr std::uint32_t KEEP_OPEN_READONLY = 0x1;
inline constexpr std::uint32_t KEEP_OPEN_READWRITE = 0x2;
inline constexpr std::uint32_t FORCE_SAVE = 0x4;
inline constexpr std::uint32_t MESSAGE_MOVE = 0x1;
inline constexpr std::uint32_t MESSAGE_DIALOG = 0x2;
inline constexpr std::uint32_t FOLDER_MOVE = 0x1;
inline constexpr std::uint32_t OPEN_IF_EXISTS = 0x1;
inline constexpr std::uint32_t FOLDER_GENERIC = 1;
inline constexpr std::uint32_t DEL_MESSAGES = 0x8;
inline constexpr std::uint32_t DEL_FOLDERS = 0x4;
// SetReadFlag.
inline constexpr std::uint32_t SUPPRESS_RECEIPT = 0x1;
inline constexpr std::uint32_t CLEAR_READ_FLAG = 0x4;
inline constexpr std::uint32_t GENERATE_RECEIPT_ONLY = 0x10;
// ModifyRecipients.
inline constexpr std::uint32_t MODRECIP_ADD = 0x2;
inline constexpr std::uint32_t MODRECIP_MODIFY = 0x4;
inline constexpr std::uint32_t MODRECIP_REMOVE = 0x8;

// ---- Tables and restrictions -----------------------------------------------------
inline constexpr std::uint32_t TBL_BATCH = 0x2;
inline constexpr std::uint32_t MAPI_ASSOCIATED = 0x40;
inline constexpr std::uint32_t CONVENIENT_DEPTH = 0x1;
inline constexpr std::uint32_t TBL_NOADVANCE = 0x1;
using Bookmark = std::uint32_t;
inline constexpr Bookmark BOOKMARK_BEGINNING = 0;
inline constexpr Bookmark BOOKMARK_CURRENT = 1;
inline constexpr Bookmark BOOKMARK_END = 2;
inline constexpr std::uint32_t RELOP_LT = 0, RELOP_LE = 1, RELOP_GT = 2, RELOP_GE = 3, RELOP_EQ = 4,
                               RELOP_NE = 5;
inline constexpr std::uint32_t BMR_EQZ = 0, BMR_NEZ = 1;

// ---- Notifications --------------------------------------------------------------
inline constexpr std::uint32_t fnevCriticalError = 0x1;
inline constexpr std::uint32_t fnevNewMail = 0x2;
inline constexpr std::uint32_t fnevObjectCreated = 0x4;
inline constexpr std::uint32_t fnevObjectDeleted = 0x8;
inline constexpr std::uint32_t fnevObjectModified = 0x10;
inline constexpr std::uint32_t fnevObjectMoved = 0x20;
inline constexpr std::uint32_t fnevObjectCopied = 0x40;
inline constexpr std::uint32_t fnevSearchComplete = 0x80;
inline constexpr std::uint32_t fnevTableModified = 0x100;

// ---- Object types (PR_OBJECT_TYPE, OpenEntry) ---------------------------------------
inline constexpr std::uint32_t MAPI_STORE = 1;
inline constexpr std::uint32_t MAPI_ADDRBOOK = 2;
inline constexpr std::uint32_t MAPI_FOLDER = 3;
inline constexpr std::uint32_t MAPI_ABCONT = 4;
inline constexpr std::uint32_t MAPI_MESSAGE = 5;
inline constexpr std::uint32_t MAPI_MAILUSER = 6;
inline constexpr std::uint32_t MAPI_ATTACH = 7;
inline constexpr std::uint32_t MAPI_DISTLIST = 8;
inline constexpr std::uint32_t MAPI_PROFSECT = 9;
inline constexpr std::uint32_t MAPI_STATUS = 10;
inline constexpr std::uint32_t MAPI_SESSION = 11;

// PR_RESOURCE_TYPE values of the status table.
inline constexpr std::uint32_t MAPI_STORE_PROVIDER = 33;
inline constexpr std::uint32_t MAPI_AB = 34;
inline constexpr std::uint32_t MAPI_AB_PROVIDER = 35;
inline constexpr std::uint32_t MAPI_TRANSPORT_PROVIDER = 36;
inline constexpr std::uint32_t MAPI_SPOOLER = 37;
inline constexpr std::uint32_t MAPI_PROFILE_PROVIDER = 38;
inline constexpr std::uint32_t MAPI_SUBSYSTEM = 39;  // 0x27: the row of the profile

// ---- Provider identifiers (PR_MDB_PROVIDER), 16 bytes in storage order --------------
inline constexpr std::string_view pbExchangeProviderPrimaryUserGuid{
    "\x54\x94\xA1\xC0\x29\x7F\x10\x1B\xA5\x87\x08\x00\x2B\x2A\x25\x17", 16};
inline constexpr std::string_view pbExchangeProviderDelegateGuid{
    "\x9E\xB4\x77\x00\x74\xE4\x11\xCE\x8C\x5E\x00\xAA\x00\x42\x54\xE2", 16};
inline constexpr std::string_view pbExchangeProviderPublicGuid{
    "\x78\xB2\xFA\x70\xAF\xF7\x11\xCD\x9B\xC8\x00\xAA\x00\x2F\xC4\x5A", 16};
inline constexpr std::string_view pbExchangeProviderXportGuid{
    "\xA9\x06\x40\xE0\xD6\x93\x11\xCD\xAF\x95\x00\xAA\x00\x4A\x35\xC3", 16};
// A personal folders file.
inline constexpr std::string_view pbPersonalStoreProviderGuid{
    "\x4E\x49\x54\x41\xF9\xBF\xB8\x01\x00\xAA\x00\x37\xD9\x6E\x00\x00", 16};

// Whether a PR_MDB_PROVIDER value is one of the four Exchange identifiers.
constexpr bool IsExchangeProvider(std::string_view provider) {
  return provider == pbExchangeProviderPrimaryUserGuid ||
         provider == pbExchangeProviderDelegateGuid || provider == pbExchangeProviderPublicGuid ||
         provider == pbExchangeProviderXportGuid;
}

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_TAGS_H_
