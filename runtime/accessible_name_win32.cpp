#include "runtime/accessible_name.h"

#include <initguid.h>
// initguid.h first: oleacc.h then defines the GUIDs it declares.
#include <oleacc.h>

namespace velkaro::runtime {

void SetAccessibleName(HWND control, const wchar_t* name) {
  // Dynamic annotation: the control's own accessible object answers with this
  // name for itself (OBJID_CLIENT, CHILDID_SELF), whatever its caption says.
  IAccPropServices* services = nullptr;
  if (FAILED(::CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IAccPropServices, reinterpret_cast<void**>(&services)))) {
    return;
  }
  services->SetHwndPropStr(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, PROPID_ACC_NAME,
                           name);
  services->Release();
}

}  // namespace velkaro::runtime
