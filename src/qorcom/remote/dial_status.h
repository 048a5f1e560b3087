/* What a host program may change about the dial-up component's Dial: the status sink that shows
 * the progress of a dial (the "Connection Status" window) and the time limit of a dial.
 *
 * Both entry points are exported by libqorcom.so; a host that loads the library at run time
 * looks them up with dlsym ("QorcomSetDialStatusSink", "QorcomSetDialTimeLimit").
 *
 * Without a sink of the host, Dial uses the headless sink: each state text is written as one
 * line "Connection Status: <text>" to standard error, and SIGUSR1 sent to the process while a
 * dial is in progress cancels it (Dial returns 2), as the Cancel button would. The handler is
 * installed only while a headless dial runs; the previous disposition is restored after it.
 *
 * The time limit is QOR_DIAL_DEFAULT_TIME_LIMIT seconds unless the host sets another one, or
 * the environment variable QORCOM_RAS_DIAL_LIMIT names one (seconds, a positive integer; the
 * host's setting wins). When it passes, the attempt is cancelled and hung up and Dial returns
 * QOR_DIAL_TIMED_OUT, whose text (GetResultString) says so. */

#ifndef QORCOM_REMOTE_DIAL_STATUS_H
#define QORCOM_REMOTE_DIAL_STATUS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define QOR_DIAL_STATUS_SINK_VERSION 1u
#define QOR_DIAL_DEFAULT_TIME_LIMIT 120u
/* Dial's result when the time limit passed (the dial-up error "request timed out"). */
#define QOR_DIAL_TIMED_OUT 638

/* Cancels the dial that opened the sink. Callable from any thread, any number of times, also
 * after the dial ended (it then does nothing); `token` is the value handed to `open`. */
typedef void (*QorDialCancel)(uintptr_t token);

/* The host's status sink. `open` and `close` are called on the thread that dials, `setText` on
 * a thread of the dial-up provider or on the dialling thread (the time-limit text); `close` follows
 * every `open` and no call for that dial follows `close`. Texts are UTF-8. A sink must return
 * promptly: the dial does not progress while a call runs. */
typedef struct QorDialStatusSink {
    uint32_t version; /* QOR_DIAL_STATUS_SINK_VERSION */
    uint32_t size;    /* sizeof(QorDialStatusSink) */
    void* context;    /* handed back to every call */
    void (*open)(void* context, const char* caption, QorDialCancel cancel, uintptr_t token);
    void (*setText)(void* context, const char* text);
    void (*close)(void* context);
} QorDialStatusSink;

/* Makes `sink` the status sink of every later dial of the process; null restores the headless
 * sink. The table is copied; `context` must stay valid until another sink replaces it. Returns
 * 0, or 87 for a table of another version or size (the sink in force stays). Thread-safe. */
__attribute__((visibility("default"))) uint32_t QorcomSetDialStatusSink(
    const QorDialStatusSink* sink);

/* The time limit of later dials in seconds; 0 returns to the environment or the default. */
__attribute__((visibility("default"))) void QorcomSetDialTimeLimit(uint32_t seconds);

#ifdef __cplusplus
}
#endif

#endif /* QORCOM_REMOTE_DIAL_STATUS_H */
