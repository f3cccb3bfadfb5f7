#pragma once
// The upgrade worker: one whole firmware upgrade, from opening the port to the end of the code
// file transfer, run by upgradeThreadProc on a thread of its own. It reads the operator's
// choices from UpgradeSettings, drives the console through a CUpgradeConsole (its own, closed
// when the procedure returns), sends the boot file and then the code file with one
// CZModemSender, reports into a ProgressState, and leaves its result code in the settings:
//   0 completed; 1 the port did not open (first open or a reopen); 2 the console refused the
//   login; 3 console or command mode not recognised, or a command-mode step failed;
//   7 the boot file transfer failed (the code file is then not sent); 8 the code file failed.
// Both files are opened and read before the first byte goes to the module: one that cannot be
// sent ends the run with its code (7 boot, 8 code) and the messages its transfer would have shown,
// the module untouched.
//
// End of a run and the lifetime of the progress target: the worker stores upgradeResult, then
// upgradeDone, then calls showFinished(code); showFinished is its last access to the target.
// The target's window may close once upgradeDone is true, so an implementation whose object
// can be destroyed when its window closes must not let the window end until its showFinished
// has been handled: CDownloadDlg runs showFinished as one blocking call into the GUI thread
// and honours upgradeDone in its close handlers only after that call has been handled there.
// Nothing after showFinished touches the target; the port is closed after it, when the console
// is destroyed.

#include "app/UpgradeSettings.h"
#include "upgrade/ProgressState.h"

// port: the device of the run, resolved when it was started (every open and reopen of the run
// uses its openPath); when its name is empty the run resolves settings->comPort itself.
struct UpgradeThreadParams {
    UpgradeSettings* settings = nullptr;
    ProgressState* dialog = nullptr;
    platform::ResolvedPort port;
};

// The status lines, in the order a successful run shows them (after the initial one).
inline constexpr const char* kStatusErasing =
    "Erasing configuration information, this may take upto two minutes...";
inline constexpr const char* kStatusPreparingFlash =
    "Preparing flash for download, this may take upto two minutes...";
inline constexpr const char* kStatusBootDownload = "Downloading boot file, this may take upto four minutes ...";
inline constexpr const char* kStatusBootDone = "Boot download successful, preparing to download code file...";
inline constexpr const char* kStatusCodeDownload = "Downloading code file, this may take upto 30 minutes ...";

// The thread procedure: parameter points to an UpgradeThreadParams (null: ends at once).
// Returns the result code it stored.
unsigned upgradeThreadProc(void* parameter);

// The one parameter record of the program: only one run can be under way at a time.
UpgradeThreadParams& upgradeThreadParams();

// Fills upgradeThreadParams() (the port from sessionPort(settings)) and starts upgradeThreadProc through the platform's thread
// start (the AfxBeginThread stand-in); false when no thread could be started.
bool startUpgradeThread(UpgradeSettings& settings, ProgressState& dialog);
