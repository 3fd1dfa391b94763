/* The too-old alert's texts in the user's language, from the downloader's own translations. */
#ifndef QBY_LAUNCHER_TEXTS_H
#define QBY_LAUNCHER_TEXTS_H

struct qby_too_old_texts {
    const char* language; /* "de", "en", "fr" */
    const char* title;
    const char* message;
    const char* support;
    const char* quit;
};

/* The texts of the first language the environment names that has them (LANGUAGE, LC_ALL,
 * LC_MESSAGES, LANG, as Qt reads them), otherwise English. */
const struct qby_too_old_texts* qby_too_old_texts_for_environment(void);

/* The texts for one locale name such as "de_DE.UTF-8", or English. */
const struct qby_too_old_texts* qby_too_old_texts_for(const char* locale);

#endif
