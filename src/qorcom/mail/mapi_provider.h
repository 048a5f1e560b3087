/* The mail provider interface: the Simple MAPI functions the MAPI mail components call
 * ("QORCom.SendEMailMAPI", "QORCom.ReadEMailMAPI" and their older adapters), supplied at run
 * time by a provider library, as the components once loaded them from the system's MAPI
 * library.
 *
 * The library is $QORCOM_MAPI_PROVIDER when set, else libqorcom-mapi.so in the directory of
 * libqorcom.so. It exports one C function,
 *
 *     const QorMapiProvider* QorcomMapiProvider(void);
 *
 * returning a table that lives as long as the process. The table is versioned: `version` is
 * QOR_MAPI_PROVIDER_VERSION and `size` the table's size in bytes; a table of another version is
 * not used. A null function pointer stands for a function the provider lacks.
 *
 * Conventions: every function returns a Simple MAPI result code (QOR_MAPI_SUCCESS_SUCCESS is
 * 0). Text is UTF-8 and NUL-terminated; a null string pointer is the empty text.
 *
 * Ownership: what the caller passes in stays the caller's; the provider copies what it keeps.
 * What the provider hands out (the message of MAPIReadMail) is one allocation of the provider's,
 * strings and arrays included, and is freed with one MAPIFreeBuffer, whatever the caller did
 * with it in between, on every path.
 *
 * Threads: a session is used by one thread at a time; different sessions may be used on
 * different threads at once. */

#ifndef QORCOM_MAIL_MAPI_PROVIDER_H
#define QORCOM_MAIL_MAPI_PROVIDER_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define QOR_MAPI_PROVIDER_VERSION 1u

/* Result codes. */
#define QOR_MAPI_SUCCESS_SUCCESS 0u
#define QOR_MAPI_USER_ABORT 1u
#define QOR_MAPI_E_FAILURE 2u
#define QOR_MAPI_E_LOGIN_FAILURE 3u
#define QOR_MAPI_E_DISK_FULL 4u
#define QOR_MAPI_E_INSUFFICIENT_MEMORY 5u
#define QOR_MAPI_E_ACCESS_DENIED 6u
#define QOR_MAPI_E_TOO_MANY_SESSIONS 8u
#define QOR_MAPI_E_TOO_MANY_FILES 9u
#define QOR_MAPI_E_TOO_MANY_RECIPIENTS 10u
#define QOR_MAPI_E_ATTACHMENT_NOT_FOUND 11u
#define QOR_MAPI_E_ATTACHMENT_OPEN_FAILURE 12u
#define QOR_MAPI_E_ATTACHMENT_WRITE_FAILURE 13u
#define QOR_MAPI_E_UNKNOWN_RECIPIENT 14u
#define QOR_MAPI_E_BAD_RECIPTYPE 15u
#define QOR_MAPI_E_NO_MESSAGES 16u
#define QOR_MAPI_E_INVALID_MESSAGE 17u
#define QOR_MAPI_E_TEXT_TOO_LARGE 18u
#define QOR_MAPI_E_INVALID_SESSION 19u
#define QOR_MAPI_E_TYPE_NOT_SUPPORTED 20u
#define QOR_MAPI_E_AMBIGUOUS_RECIPIENT 21u
#define QOR_MAPI_E_MESSAGE_IN_USE 22u
#define QOR_MAPI_E_NETWORK_FAILURE 23u
#define QOR_MAPI_E_INVALID_EDITFIELDS 24u
#define QOR_MAPI_E_INVALID_RECIPS 25u
#define QOR_MAPI_E_NOT_SUPPORTED 26u

/* Flags. */
#define QOR_MAPI_LOGON_UI 0x00000001u /* MAPILogon may ask the user */
#define QOR_MAPI_NEW_SESSION 0x00000002u
#define QOR_MAPI_DIALOG 0x00000008u /* MAPISendMail may show the message to the user */
#define QOR_MAPI_PEEK 0x00000080u   /* MAPIReadMail leaves the message unread */
#define QOR_MAPI_UNREAD 0x00000200u /* on a read message: not read before */

/* Recipient classes. */
#define QOR_MAPI_ORIG 0u
#define QOR_MAPI_TO 1u
#define QOR_MAPI_CC 2u
#define QOR_MAPI_BCC 3u

/* A message identifier of MAPIFindNext, with its terminating NUL. */
#define QOR_MAPI_MESSAGE_ID_SIZE 512

/* 0 is no session. */
typedef uint64_t QorMapiSession;

typedef struct QorMapiRecipDesc {
    uint32_t recipClass; /* QOR_MAPI_ORIG, _TO, _CC, _BCC */
    const char* name;    /* display name; may be empty */
    const char* address; /* "SMTP:" prefix optional; never holds CR or LF */
} QorMapiRecipDesc;

/* An attachment. Sending: pathName is the local file to attach and fileName the name the
 * recipient sees (empty: the last part of pathName); data is null. Reading: fileName is the
 * name the sender gave (untrusted: it may hold any character; the caller cleans it before it
 * touches a file system), data and size its decoded bytes, pathName null. */
typedef struct QorMapiFileDesc {
    const char* pathName;
    const char* fileName;
    const unsigned char* data;
    uint64_t size;
} QorMapiFileDesc;

typedef struct QorMapiMessage {
    const char* subject;
    const char* noteText;               /* the body */
    const char* dateReceived;           /* reading: as the message's Date header gave it */
    uint32_t flags;                     /* QOR_MAPI_UNREAD */
    const QorMapiRecipDesc* originator; /* reading: the sender; sending: null (the session's) */
    uint32_t recipCount;
    const QorMapiRecipDesc* recips;
    uint32_t fileCount;
    const QorMapiFileDesc* files;
} QorMapiMessage;

typedef struct QorMapiProvider {
    uint32_t version; /* QOR_MAPI_PROVIDER_VERSION */
    uint32_t size;    /* sizeof(QorMapiProvider) */

    /* Opens a session for a profile. uiParam is the caller's window handle (0: none). */
    uint32_t (*MAPILogon)(uint64_t uiParam, const char* profileName, const char* password,
                          uint32_t flags, uint32_t reserved, QorMapiSession* session);
    uint32_t (*MAPILogoff)(QorMapiSession session, uint64_t uiParam, uint32_t flags,
                           uint32_t reserved);
    /* Sends a message as it is; QOR_MAPI_E_INVALID_RECIPS for an address holding CR or LF,
     * QOR_MAPI_E_ATTACHMENT_NOT_FOUND / _OPEN_FAILURE for an attachment it cannot read. */
    uint32_t (*MAPISendMail)(QorMapiSession session, uint64_t uiParam,
                             const QorMapiMessage* message, uint32_t flags, uint32_t reserved);
    /* The identifier of the inbox message after seedMessageId ("" or null: the first) into
     * messageId (QOR_MAPI_MESSAGE_ID_SIZE bytes, terminated); QOR_MAPI_E_NO_MESSAGES after the
     * last. The seed need not exist any more (it may have been deleted): the walk goes on after
     * the place it had. */
    uint32_t (*MAPIFindNext)(QorMapiSession session, uint64_t uiParam, const char* messageType,
                             const char* seedMessageId, uint32_t flags, uint32_t reserved,
                             char* messageId);
    /* Reads one message into *message (the provider's allocation: free it with MAPIFreeBuffer;
     * null on failure). */
    uint32_t (*MAPIReadMail)(QorMapiSession session, uint64_t uiParam, const char* messageId,
                             uint32_t flags, uint32_t reserved, QorMapiMessage** message);
    /* Frees what the provider handed out; null is ignored. */
    uint32_t (*MAPIFreeBuffer)(void* memory);
    uint32_t (*MAPIDeleteMail)(QorMapiSession session, uint64_t uiParam, const char* messageId,
                               uint32_t flags, uint32_t reserved);
} QorMapiProvider;

typedef const QorMapiProvider* (*QorcomMapiProviderFunction)(void);

#define QOR_MAPI_PROVIDER_SYMBOL "QorcomMapiProvider"

#ifdef __cplusplus
}
#endif

#endif /* QORCOM_MAIL_MAPI_PROVIDER_H */
