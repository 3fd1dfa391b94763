/* The too-old alert, drawn with the system's own libX11 (loaded at run time, so that a system
 * without it, or without a display, still gets the line on standard error). */
#ifndef QBY_LAUNCHER_ALERT_H
#define QBY_LAUNCHER_ALERT_H

#include "texts.h"

enum qby_alert_response {
    QBY_ALERT_NOT_SHOWN = 0,        /* no libX11 or no display */
    QBY_ALERT_FIRST_BUTTON = 1000,  /* "Support" */
    QBY_ALERT_SECOND_BUTTON = 1001, /* "Quit", or the window closed */
};

/* Shows the alert until a button is pressed or the window is closed. */
enum qby_alert_response qby_run_too_old_alert(const struct qby_too_old_texts* texts);

#endif
