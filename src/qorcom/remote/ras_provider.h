/* The dial-up provider interface: the Remote Access functions the "QORCom.Ras" component calls,
 * supplied at run time by a provider library, as the component once loaded them from the
 * system's dial-up library.
 *
 * The library is $QORCOM_RAS_PROVIDER when set, else libqorcom-ras.so in the directory of
 * libqorcom.so. It exports one C function,
 *
 *     const QorRasProvider* QorcomRasProvider(void);
 *
 * returning a table that lives as long as the process. The table is versioned: `version` is
 * QOR_RAS_PROVIDER_VERSION and `size` the table's size in bytes; a table of another version is
 * not used. A null function pointer stands for a function the provider lacks.
 *
 * Conventions: every function returns a Remote Access error number, 0 for success (600 to 868
 * are the dial-up errors, below 600 system errors such as 6 for an invalid handle and 87 for an
 * invalid parameter). Text is UTF-8 and NUL-terminated; fixed buffers are always terminated by
 * the provider, truncating if it must. All functions are thread-safe. */

#ifndef QORCOM_REMOTE_RAS_PROVIDER_H
#define QORCOM_REMOTE_RAS_PROVIDER_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define QOR_RAS_PROVIDER_VERSION 1u

/* Sizes of the text fields with their terminating NUL, as the Windows structures had them. */
#define QOR_RAS_MAX_ENTRY_NAME 257
#define QOR_RAS_MAX_PHONE_NUMBER 129
#define QOR_RAS_MAX_CALLBACK_NUMBER 129
#define QOR_RAS_MAX_USER_NAME 257
#define QOR_RAS_MAX_PASSWORD 257
#define QOR_RAS_MAX_DOMAIN 16
#define QOR_RAS_MAX_DEVICE_NAME 129

/* Connection states. */
#define QOR_RASCS_OPEN_PORT 0u
#define QOR_RASCS_CONNECT_DEVICE 2u
#define QOR_RASCS_AUTHENTICATE 5u
#define QOR_RASCS_AUTHENTICATED 14u
#define QOR_RASCS_PREPARE_FOR_CALLBACK 15u
#define QOR_RASCS_CONNECTED 0x2000u
#define QOR_RASCS_DISCONNECTED 0x2001u

/* Error numbers the component itself relies on. */
#define QOR_RAS_ERROR_INVALID_HANDLE 6u
#define QOR_RAS_ERROR_INVALID_PARAMETER 87u
#define QOR_RAS_ERROR_CANNOT_FIND_PHONEBOOK_ENTRY 623u

/* An active or pending connection; 0 is no connection. */
typedef uint64_t QorRasConnection;

typedef struct QorRasDialParams {
    char entryName[QOR_RAS_MAX_ENTRY_NAME];
    char phoneNumber[QOR_RAS_MAX_PHONE_NUMBER];
    char callbackNumber[QOR_RAS_MAX_CALLBACK_NUMBER];
    char userName[QOR_RAS_MAX_USER_NAME];
    char password[QOR_RAS_MAX_PASSWORD];
    char domain[QOR_RAS_MAX_DOMAIN];
} QorRasDialParams;

typedef struct QorRasConnectionStatus {
    uint32_t state; /* QOR_RASCS_* */
    uint32_t error; /* the error that ended the attempt, 0 otherwise */
    char deviceName[QOR_RAS_MAX_DEVICE_NAME];
} QorRasConnectionStatus;

/* Called once per phone-book entry or active connection during an enumeration, on the caller's
 * thread. */
typedef void (*QorRasEntryCallback)(void* context, const char* entryName);
typedef void (*QorRasConnectionCallback)(void* context, QorRasConnection connection,
                                         const char* entryName);

/* Progress of an asynchronous dial, called on a thread of the provider, never on the thread
 * that called RasDial while RasDial runs. `error` is non-zero when the attempt failed. After a
 * call with state QOR_RASCS_CONNECTED or QOR_RASCS_DISCONNECTED or a non-zero error, and after
 * RasHangUp of the connection has returned, the provider makes no further call for it. */
typedef void (*QorRasDialNotify)(void* context, QorRasConnection connection, uint32_t state,
                                 uint32_t error);

typedef struct QorRasProvider {
    uint32_t version; /* QOR_RAS_PROVIDER_VERSION */
    uint32_t size;    /* sizeof(QorRasProvider) */

    /* Every phone-book entry, in phone-book order. */
    uint32_t (*RasEnumEntries)(QorRasEntryCallback callback, void* context);
    /* Every active connection (of this and other processes). */
    uint32_t (*RasEnumConnections)(QorRasConnectionCallback callback, void* context);
    /* Starts dialling and returns at once; on success *connection is set (also when the
     * attempt later fails: it is then still hung up with RasHangUp). */
    uint32_t (*RasDial)(const QorRasDialParams* params, QorRasDialNotify notify, void* context,
                        QorRasConnection* connection);
    /* QOR_RAS_ERROR_INVALID_HANDLE when the connection no longer exists. */
    uint32_t (*RasGetConnectStatus)(QorRasConnection connection, QorRasConnectionStatus* status);
    /* The stored dial parameters of an entry (entryName filled in), password included when the
     * phone book keeps one. */
    uint32_t (*RasGetEntryDialParams)(const char* entryName, QorRasDialParams* params);
    /* Ends a connection or a dial in progress; the connection disappears (possibly shortly
     * after the call returns: follow it with RasGetConnectStatus). */
    uint32_t (*RasHangUp)(QorRasConnection connection);
    /* The text of an error number into buffer (size bytes, terminated). */
    uint32_t (*RasGetErrorString)(uint32_t error, char* buffer, uint32_t size);
} QorRasProvider;

typedef const QorRasProvider* (*QorcomRasProviderFunction)(void);

#define QOR_RAS_PROVIDER_SYMBOL "QorcomRasProvider"

#ifdef __cplusplus
}
#endif

#endif /* QORCOM_REMOTE_RAS_PROVIDER_H */
