#pragma once

// A host's side of an editor on X11 for tests: a run loop (a poll loop over the registered file
// descriptors and timers, calling a handler only while it is registered, so handlers may come and go
// inside callbacks) and a frame that hands it out and grants every resize request.

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <utility>
#include <vector>

#include "pluginterfaces/gui/iplugview.h"

namespace xtest {

using namespace Steinberg;
namespace SL = Steinberg::Linux;
using Clock = std::chrono::steady_clock;

#define XTEST_UNCOUNTED(Interface)                                                     \
  uint32 PLUGIN_API addRef() override { return 1; }                              \
  uint32 PLUGIN_API release() override { return 1; }                             \
  tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {       \
    if (FUnknownPrivate::iidEqual(iid, Interface::iid)) {                        \
      *obj = static_cast<Interface*>(this);                                      \
      return kResultOk;                                                          \
    }                                                                            \
    return QueryMore(iid, obj);                                                  \
  }

// A host run loop: keeps a reference to each registered handler, polls the file descriptors, fires the
// timers, and calls a handler only while it is registered (handlers may come and go inside callbacks).
class TestRunLoop : public SL::IRunLoop {
public:
  tresult PLUGIN_API registerEventHandler(SL::IEventHandler* h, SL::FileDescriptor fd) override {
    h->addRef();
    mRegs.push_back({h, nullptr, fd, 0, {}});
    return kResultOk;
  }
  tresult PLUGIN_API unregisterEventHandler(SL::IEventHandler* h) override { return Drop(h, nullptr); }
  tresult PLUGIN_API registerTimer(SL::ITimerHandler* h, SL::TimerInterval ms) override {
    h->addRef();
    mRegs.push_back({nullptr, h, -1, static_cast<int>(ms), Clock::now() + std::chrono::milliseconds(ms)});
    return kResultOk;
  }
  tresult PLUGIN_API unregisterTimer(SL::ITimerHandler* h) override { return Drop(nullptr, h); }
  XTEST_UNCOUNTED(SL::IRunLoop)
  tresult QueryMore(const TUID, void** obj) {
    *obj = nullptr;
    return kNoInterface;
  }

  // Runs callbacks for about ms milliseconds (one pass if 0).
  void Run(int ms) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    do {
      std::vector<pollfd> fds;
      auto wake = end;
      for (const Reg& r : mRegs) {
        if (r.events) fds.push_back({r.fd, POLLIN, 0});
        if (r.timer) wake = std::min(wake, r.due);
      }
      const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(wake - Clock::now()).count();
      poll(fds.data(), fds.size(), static_cast<int>(std::max<long>(0, wait)));
      for (const pollfd& p : fds)
        if (p.revents & POLLIN)
          for (const Reg& r : Snapshot())
            if (r.events && r.fd == p.fd && Registered(r)) r.events->onFDIsSet(p.fd);
      for (const Reg& r : Snapshot())
        if (r.timer && r.due <= Clock::now() && Registered(r)) {
          for (Reg& live : mRegs)
            if (live.timer == r.timer) live.due = Clock::now() + std::chrono::milliseconds(live.ms);
          r.timer->onTimer();
        }
    } while (Clock::now() < end);
  }
  size_t Count() const { return mRegs.size(); }

private:
  struct Reg {
    SL::IEventHandler* events;
    SL::ITimerHandler* timer;
    int fd, ms;
    Clock::time_point due;
  };
  tresult Drop(SL::IEventHandler* e, SL::ITimerHandler* t) {
    for (auto it = mRegs.begin(); it != mRegs.end(); ++it)
      if ((e && it->events == e) || (t && it->timer == t)) {
        mRegs.erase(it);
        if (e) e->release();
        if (t) t->release();
        return kResultOk;
      }
    return kInvalidArgument;
  }
  std::vector<Reg> Snapshot() const { return mRegs; }
  bool Registered(const Reg& r) const {
    return std::any_of(mRegs.begin(), mRegs.end(),
                       [&](const Reg& x) { return x.events == r.events && x.timer == r.timer; });
  }
  std::vector<Reg> mRegs;
};

// The host's frame: hands out the run loop and grants every resize request.
class TestFrame : public IPlugFrame {
public:
  explicit TestFrame(TestRunLoop& loop) : mLoop(loop) {}
  tresult PLUGIN_API resizeView(IPlugView* view, ViewRect* rect) override {
    resizes.emplace_back(rect->getWidth(), rect->getHeight());
    return view->onSize(rect);
  }
  XTEST_UNCOUNTED(IPlugFrame)
  tresult QueryMore(const TUID iid, void** obj) { return mLoop.queryInterface(iid, obj); }
  std::vector<std::pair<int, int>> resizes;

private:
  TestRunLoop& mLoop;
};

}  // namespace xtest
