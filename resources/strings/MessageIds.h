// Base ids of the screens' messages, the one list of them: the code looks
// messages up by these names, and make_string_table.py reads this file to
// know which base ids the message files must fill and to write the string
// table. A message's string resource is its base id plus its language's
// position in the table, so the ids lie twelve apart, one per language.
// Plain macros so that the generator and windres can read them.
#ifndef KORVANE_MESSAGE_IDS_H
#define KORVANE_MESSAGE_IDS_H

// Licence screen.
#define IDS_DESCRIPTION 135
#define IDS_ACCEPT 147
#define IDS_DECLINE 159

// Drive screen (the heading also stands on the progress screen before the
// first report).
#define IDS_PICK_DRIVE 195
#define IDS_INSTALL 291
#define IDS_NO_DRIVE 303

// "Install to:" with the drive, on the drive and the progress screens.
#define IDS_INSTALL_TO 171

// Progress screen.
#define IDS_INSTALLING 183
#define IDS_UPDATING 207
#define IDS_RUN 219
#define IDS_DOWNLOADING 231
#define IDS_UPDATE_FAILED 243
#define IDS_INSTALL_FAILED 255
#define IDS_DRIVE_MISSING 267
#define IDS_SPACE_MISSING 279
#define IDS_COMPLETE 315

// The detail line under the progress screen's bar: how much has come, how
// fast, how long is left, or what the download is waiting for. The sizes
// and times are put together from the unit messages below.
#define IDS_DETAIL_OF 327
#define IDS_DETAIL_SPEED 339
#define IDS_DETAIL_TIME_LEFT 351
#define IDS_DETAIL_STALLED 363
#define IDS_DETAIL_RETRYING 375
#define IDS_DETAIL_FILES 387
#define IDS_SIZE_BYTES 399
#define IDS_SIZE_KB 411
#define IDS_SIZE_MB 423
#define IDS_SIZE_GB 435
#define IDS_TIME_SECONDS 447
#define IDS_TIME_MINUTES 459
#define IDS_TIME_HOURS 471

#endif
