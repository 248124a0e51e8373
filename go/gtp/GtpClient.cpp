#include "go/gtp/GtpClient.h"

#include <utility>

namespace go::gtp {

void TClient::Send(const std::string &command, TDone done, int timeoutMs) {
  if (Broken()) {
    if (done) done(TReply{FFault, false, FFaultText});
    return;
  }
  FQueue.push_back(TCommand{FNextId++, command, std::move(done), timeoutMs});
  if (!FOut) WriteNext();
}

void TClient::WriteNext() {
  if (FQueue.empty() || Broken()) return;
  const TCommand &c = FQueue.front();
  FOut = true;
  FTransport.StartTimer(c.TimeoutMs);
  FTransport.Write(FormatCommand(c.Id, c.Text));
}

void TClient::Received(std::string_view bytes) {
  if (Broken()) return;
  FReader.Feed(bytes);
  while (!Broken()) {
    std::optional<TResponse> r = FReader.Next();
    if (!r) {
      if (FReader.Broken()) Break(TFault::Protocol, "not a GTP response: " + FReader.BrokenLine(), true);
      return;
    }
    if (FQueue.empty() || !FOut) {
      Break(TFault::Protocol, "an answer to no command: " + r->Text, true);
      return;
    }
    if (r->Id >= 0 && r->Id != FQueue.front().Id) {
      Break(TFault::Protocol, "the answer of command " + std::to_string(r->Id) + " came for command " +
                                  std::to_string(FQueue.front().Id),
            true);
      return;
    }
    TCommand c = std::move(FQueue.front());
    FQueue.pop_front();
    FOut = false;
    FTransport.StopTimer();
    if (c.Done) c.Done(TReply{TFault::None, r->Success, r->Text});
    // The callback may have sent more or shut the engine down.
    if (!FOut) WriteNext();
  }
}

void TClient::Ended(TFault fault, const std::string &why) {
  if (Broken()) return;
  Break(fault, why, true);
}

void TClient::TimerExpired() {
  if (Broken() || !FOut) return;
  Break(TFault::TimedOut, "no answer to \"" + FQueue.front().Text + "\"", true);
}

void TClient::Abandon() {
  for (TCommand &c : FQueue) c.Done = nullptr;
}

void TClient::Shutdown() {
  if (Broken()) return;
  FFault = TFault::Exited;
  FFaultText = "the engine was stopped";
  FTransport.StopTimer();
  FTransport.Kill();
  std::deque<TCommand> waiting = std::move(FQueue);
  FQueue.clear();
  FOut = false;
  for (TCommand &c : waiting)
    if (c.Done) c.Done(TReply{FFault, false, FFaultText});
}

void TClient::Break(TFault fault, const std::string &why, bool report) {
  FFault = fault;
  FFaultText = why;
  FTransport.StopTimer();
  if (fault != TFault::Exited && fault != TFault::NotStarted) FTransport.Kill();
  std::deque<TCommand> waiting = std::move(FQueue);
  FQueue.clear();
  FOut = false;
  for (TCommand &c : waiting)
    if (c.Done) c.Done(TReply{fault, false, why});
  if (report && OnFault) OnFault(fault, why);
}

}  // namespace go::gtp
