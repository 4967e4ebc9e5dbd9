#include "app/busy_window.h"

#include <exception>
#include <system_error>
#include <thread>

namespace velkaro::app {

namespace {

// The event the work sets when it ends, while this thread waits for it.
thread_local HANDLE work_done = nullptr;

bool IsUserInput(UINT message) {
  return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
         (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
         (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK) || message == WM_INPUT;
}

// Dispatches what this thread was sent or posted, but for input and a quit.
void AnswerTheSystem() {
  MSG message{};
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (!IsUserInput(message.message) && message.message != WM_QUIT) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
}

// Without a thread to work on, the window waits unanswering; what was given
// meanwhile is dropped all the same.
std::string WorkHere(const std::function<std::string()>& work) {
  struct Drop {
    ~Drop() { AnswerTheSystem(); }
  } drop;
  return work();
}

}  // namespace

bool WaitForTheWork(DWORD milliseconds) {
  return work_done == nullptr || ::WaitForSingleObject(work_done, milliseconds) == WAIT_OBJECT_0;
}

std::string RunWhileWindowWaits(const std::function<std::string()>& work) {
  const HANDLE done = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (done == nullptr) {
    return WorkHere(work);
  }
  std::string result;
  std::exception_ptr failure;
  std::thread worker;
  try {
    worker = std::thread([&] {
      try {
        result = work();
      } catch (...) {
        failure = std::current_exception();
      }
      ::SetEvent(done);
    });
  } catch (const std::system_error&) {
    ::CloseHandle(done);
    return WorkHere(work);
  }
  // Sent messages are answered inside the wait; posted ones and input after
  // each wake, the last one included, so nothing given meanwhile is left over.
  DWORD woke = WAIT_FAILED;
  work_done = done;
  do {
    woke = ::MsgWaitForMultipleObjectsEx(1, &done, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    AnswerTheSystem();
  } while (woke != WAIT_OBJECT_0);
  work_done = nullptr;
  worker.join();
  ::CloseHandle(done);
  if (failure) {
    std::rethrow_exception(failure);
  }
  return result;
}

}  // namespace velkaro::app
