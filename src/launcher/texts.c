#include "texts.h"

#include <stdlib.h>
#include <string.h>

/* Generated at build time from resources/QBYDownloader_*.ts: QBY_TOO_OLD_TEXTS, English first. */
#include "too_old_texts.inc"

static const struct qby_too_old_texts table[] = {QBY_TOO_OLD_TEXTS};

/* The table's entry whose language is the locale's ("fr" of "fr_CA.UTF-8"), if any. */
static const struct qby_too_old_texts* find(const char* locale) {
    if (!locale) return NULL;
    size_t length = strcspn(locale, "_.@:");
    for (size_t i = 0; i < sizeof table / sizeof table[0]; ++i) {
        if (strlen(table[i].language) == length && strncmp(table[i].language, locale, length) == 0)
            return &table[i];
    }
    return NULL;
}

const struct qby_too_old_texts* qby_too_old_texts_for(const char* locale) {
    const struct qby_too_old_texts* found = find(locale);
    return found ? found : &table[0];
}

const struct qby_too_old_texts* qby_too_old_texts_for_environment(void) {
    static const char* const variables[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
    for (size_t i = 0; i < sizeof variables / sizeof variables[0]; ++i) {
        const char* value = getenv(variables[i]);
        if (!value || !*value) continue;
        /* A set variable decides, as it does for the downloader: "C" means English. */
        return qby_too_old_texts_for(value);
    }
    return &table[0];
}
