#pragma once
// An X display for the preview's OpenGL window where the process has none.
//
// When DISPLAY is set, the display it names is used (it must open) and
// nothing is started.
// Otherwise a private Xvfb is started for this process alone: Xvfb picks a
// free display number itself and reports it (-displayfd), it listens on no
// TCP port, and DISPLAY is set to it until the object goes. The destructor
// ends the server and unsets DISPLAY again, on every path out, an exception
// included; should this process die without unwinding (a crash, a kill), the
// kernel ends the server too (it is started with PR_SET_PDEATHSIG).
//
// Mesa renders on it in software (llvmpipe), as Xvfb has no GPU.
// Linux only: the preview is built only where OGRE's GL render system is.

#include <string>
#include <sys/types.h>

class TPrivateDisplay {
public:
  // Raises a TException when DISPLAY names a display that does not open, or
  // when DISPLAY is unset and Xvfb cannot be started (not installed, or it
  // fails or does not report a display in time).
  TPrivateDisplay();
  ~TPrivateDisplay();
  TPrivateDisplay(const TPrivateDisplay&) = delete;
  TPrivateDisplay& operator=(const TPrivateDisplay&) = delete;

  // The display in use, as DISPLAY names it (":5").
  const std::string& Name() const { return FName; }
  // Whether this object started the server (false: DISPLAY was set).
  bool Started() const { return FServer > 0; }
  // The server's process id; 0 when none was started.
  pid_t ServerProcess() const { return FServer; }

private:
  void Stop() noexcept;

  std::string FName;
  pid_t FServer = 0;
};
