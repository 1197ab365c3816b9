/* A small crash and error-event reporter with a C interface.
 *
 * Events and crash records are stored as JSON files in a database folder. A fatal signal writes a
 * crash record from an async-signal-safe handler and then lets the signal take its course. When a
 * DSN is configured, the records found at start are sent to its ingest endpoint on a worker thread,
 * and those the endpoint accepts are removed.
 *
 * Every function may be called from any thread, and does no harm before sentry_init, after a failed
 * sentry_init and after sentry_shutdown. Values are handles owned by the caller until they are given
 * to a function that takes them over (sentry_value_set_by_key, sentry_set_user, sentry_capture_event);
 * a handle not given away is released with sentry_value_decref. */
#ifndef ZQ_CRASHREPORT_H
#define ZQ_CRASHREPORT_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct sentry_options_s sentry_options_t;
typedef struct sentry_value_s* sentry_value_t;

typedef enum {
    SENTRY_LEVEL_DEBUG = 0,
    SENTRY_LEVEL_INFO = 1,
    SENTRY_LEVEL_WARNING = 2,
    SENTRY_LEVEL_ERROR = 3,
    SENTRY_LEVEL_FATAL = 4
} sentry_level_t;

/* An event identifier; all zero when no event was stored. */
typedef struct
{
    uint8_t bytes[16];
} sentry_uuid_t;

sentry_options_t* sentry_options_new(void);
void sentry_options_free(sentry_options_t* options);
/* "<scheme>://<key>@<host>[:<port>]/<project>"; empty or unset: nothing is ever sent. */
void sentry_options_set_dsn(sentry_options_t* options, const char* dsn);
/* The folder of stored records; made at sentry_init when missing. */
void sentry_options_set_database_path(sentry_options_t* options, const char* path);
void sentry_options_set_release(sentry_options_t* options, const char* release);

/* Takes over the options. 0 on success; on failure the reporter stays inactive. */
int sentry_init(sentry_options_t* options);
/* Waits briefly for a running upload, removes the signal handlers and forgets every setting. */
int sentry_shutdown(void);

void sentry_set_tag(const char* key, const char* value);
/* Takes over the user object; replaces any earlier user. */
void sentry_set_user(sentry_value_t user);

sentry_value_t sentry_value_new_object(void);
sentry_value_t sentry_value_new_string(const char* text);
/* Takes over the value; replaces an earlier value of the key. 0 on success. */
int sentry_value_set_by_key(sentry_value_t object, const char* key, sentry_value_t value);
void sentry_value_decref(sentry_value_t value);

sentry_value_t sentry_value_new_message_event(sentry_level_t level, const char* logger, const char* message);
/* Takes over the event and stores it; returns its identifier. */
sentry_uuid_t sentry_capture_event(sentry_value_t event);

#ifdef __cplusplus
}
#endif

#endif
