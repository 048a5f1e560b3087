/* The virtual-channel provider interface: the functions the "QORCom.TerminalServerChannel"
 * component calls to reach a static virtual channel of the remote desktop session the program
 * runs in, supplied at run time by a provider library.
 *
 * The library is $QORCOM_CHANNEL_PROVIDER when set, else libqorcom-channel.so in the directory
 * of libqorcom.so. It exports one C function,
 *
 *     const QorChannelProvider* QorcomChannelProvider(void);
 *
 * returning a table that lives as long as the process; a table of another version, or one
 * lacking a function, is not used.
 *
 * Conventions: every function returns 0 for success or an errno value. A channel is used by one
 * thread at a time; different channels may be used from different threads. */

#ifndef QORCOM_CHANNEL_CHANNEL_PROVIDER_H
#define QORCOM_CHANNEL_CHANNEL_PROVIDER_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define QOR_CHANNEL_PROVIDER_VERSION 1u

/* Every chunk read starts with this header (little-endian): the total length of the message the
 * chunk belongs to, then the flags. */
#define QOR_CHANNEL_HEADER_SIZE 8u
#define QOR_CHANNEL_FLAG_FIRST 0x01u
#define QOR_CHANNEL_FLAG_LAST 0x02u
/* The data of one chunk at most; a read buffer of QOR_CHANNEL_HEADER_SIZE + this holds any. */
#define QOR_CHANNEL_CHUNK_LENGTH 1600u

typedef struct QorChannel QorChannel;

typedef struct QorChannelProvider {
    uint32_t version; /* QOR_CHANNEL_PROVIDER_VERSION */
    uint32_t size;    /* sizeof(QorChannelProvider) */

    /* Opens the static virtual channel `name` (1 to 7 characters, UTF-8) of the session the
     * calling process runs in; on success *channel is set. */
    uint32_t (*VirtualChannelOpen)(const char* name, QorChannel** channel);
    /* Writes the `length` bytes as one message (the provider splits it into chunks); *written
     * is the number of bytes taken. */
    uint32_t (*VirtualChannelWrite)(QorChannel* channel, const void* data, uint32_t length,
                                    uint32_t* written);
    /* Reads one chunk, header included, into buffer; waits at most timeoutMs (0: returns at
     * once, *read 0 when nothing is pending). EMSGSIZE when the chunk does not fit. */
    uint32_t (*VirtualChannelRead)(QorChannel* channel, uint32_t timeoutMs, void* buffer,
                                   uint32_t size, uint32_t* read);
    /* Closes the channel; it is not used again. */
    uint32_t (*VirtualChannelClose)(QorChannel* channel);
} QorChannelProvider;

typedef const QorChannelProvider* (*QorcomChannelProviderFunction)(void);

#define QOR_CHANNEL_PROVIDER_SYMBOL "QorcomChannelProvider"

#ifdef __cplusplus
}
#endif

#endif /* QORCOM_CHANNEL_CHANNEL_PROVIDER_H */
