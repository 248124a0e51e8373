#pragma once
// TClient: speaks GTP to one engine through a transport, one command at a time.
//
// The transport (a child process in the program, a scripted engine in tests) only moves
// bytes and reports what happens to the engine; it never blocks. Commands queue up and go
// out one after the other; each gets its reply through its callback, in order. An engine
// that exits, crashes, does not answer in time or writes something that is no GTP response
// is broken for good: every waiting command is answered with the fault, OnFault runs once,
// and later commands fail at once. A failure answer ("? …") is an ordinary reply and breaks
// nothing.
#include <deque>
#include <functional>
#include <string>

#include "go/gtp/GtpProtocol.h"

namespace go::gtp {

enum class TFault {
  None,       // the engine answered ("=" or "?")
  NotStarted, // the engine could not be started (missing program)
  Exited,     // the engine ended or crashed
  TimedOut,   // no answer in time
  Protocol,   // output that is not a GTP response, or an answer to another command
};

struct TReply {
  TFault Fault = TFault::None;
  bool Success = false;  // "=": the engine accepted the command
  std::string Text;      // the engine's text, or what went wrong
  bool Ok() const { return Fault == TFault::None && Success; }
};

class TClient;

// Moves bytes to and from the engine. The transport calls back into the client with
// Received(), Ended() and TimerExpired().
class TTransport {
 public:
  virtual ~TTransport() = default;
  virtual void Write(const std::string &bytes) = 0;
  // The client wants TimerExpired() after `milliseconds` unless StopTimer() comes first.
  virtual void StartTimer(int milliseconds) = 0;
  virtual void StopTimer() = 0;
  // Ends the engine without waiting; no Ended() is expected afterwards.
  virtual void Kill() = 0;
};

class TClient {
 public:
  using TDone = std::function<void(const TReply &)>;

  explicit TClient(TTransport &transport) : FTransport(transport) {}

  // Queues a command (name and arguments, without id). `timeoutMs` bounds the wait for its
  // answer, counted from when it goes out.
  void Send(const std::string &command, TDone done, int timeoutMs = 10000);

  // --- from the transport ---
  void Received(std::string_view bytes);
  // The engine is gone: it exited or crashed (`fault` Exited) or never started (NotStarted).
  void Ended(TFault fault, const std::string &why);
  void TimerExpired();

  bool Broken() const { return FFault != TFault::None; }
  TFault Fault() const { return FFault; }
  const std::string &FaultText() const { return FFaultText; }
  // A command is out or waiting.
  bool Busy() const { return !FQueue.empty(); }
  // Forgets the callbacks of every waiting command (their answers are still read and
  // dropped), e.g. when the game they belonged to has ended.
  void Abandon();
  // Stops the engine: every waiting command fails with Exited, OnFault does not run.
  void Shutdown();

  // Runs once when the engine breaks (not for Shutdown).
  std::function<void(TFault, const std::string &)> OnFault;

 private:
  struct TCommand {
    int Id;
    std::string Text;
    TDone Done;
    int TimeoutMs;
  };
  TTransport &FTransport;
  TResponseReader FReader;
  std::deque<TCommand> FQueue;  // front: the command that is out
  bool FOut = false;
  int FNextId = 1;
  TFault FFault = TFault::None;
  std::string FFaultText;

  void WriteNext();
  void Break(TFault fault, const std::string &why, bool report);
};

}  // namespace go::gtp
