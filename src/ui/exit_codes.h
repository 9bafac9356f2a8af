// The exit codes of setup.exe and uninst.exe, one table for both programs so
// that a deployment tool reads them alike (the README's table adds setupkit's).
// An interactive Cancel, and a No to the uninstaller's question, are no failure.
#pragma once

enum ExitCode : int {
  kExitSuccess = 0,         // installed or removed; also an interactive Cancel of setup.exe
  kExitDeclined = 1,        // uninst.exe: the user answered No, nothing changed
  kExitDamaged = 2,         // the program's own file is damaged (payload or trailer): nothing changed
  kExitRestartNeeded = 3,   // uninst.exe: removed, but a file stays until the next restart or could not be deleted
  kExitInstallFailed = 4,   // setup.exe: a folder or file could not be made or written, the destination was
                            // refused, or the running product could not be closed in silent mode
  kExitBadCommandLine = 5,  // a switch or value was not understood: nothing was done
  kExitLogFailed = 6,       // setup.exe: the /LOG file could not be written (at start: nothing was done)
  kExitDowngradeRefused = 7,  // setup.exe, silent: a newer version is installed there and /ALLOWDOWNGRADE was not given
};
