#pragma once
// How the progress screen turns the engine's per-phase fractions into one
// bar from 0 to 100: the download fills the first half, the extraction the
// second.

// The lParam of a progress message: fraction x 1000 in single precision,
// truncated toward zero.
long ProgressMessageParam(float fraction);

// The bar position for a progress message, given the last status handled
// (an InstallStatus value); 0 outside the download and the extraction.
int ProgressBarPosition(int lastStatus, long messageParam);
