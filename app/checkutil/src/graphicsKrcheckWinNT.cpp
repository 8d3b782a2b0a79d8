// SPDX-License-Identifier: Apache-2.0
// Driver version on Windows: the "DriverVersion" property of the first Win32_VideoController
// that WMI reports.
#include "graphicsDriverVersion.h"

#include <Kr/Ex.h>

#include <comdef.h>
#include <wbemidl.h>
#include <windows.h>

#include <memory>

_COM_SMARTPTR_TYPEDEF(IWbemLocator, __uuidof(IWbemLocator));
_COM_SMARTPTR_TYPEDEF(IWbemServices, __uuidof(IWbemServices));
_COM_SMARTPTR_TYPEDEF(IEnumWbemClassObject, __uuidof(IEnumWbemClassObject));
_COM_SMARTPTR_TYPEDEF(IWbemClassObject, __uuidof(IWbemClassObject));

namespace {

const char* const sourceFile = "app\\checkutil\\src\\graphicsKrcheckWinNT";

// Joins the calling thread to a single-threaded COM apartment for the life of the library.
class ComInitializer {
public:
    ComInitializer() {
        const HRESULT result = CoInitializeEx(0, COINIT_APARTMENTTHREADED);
        if (result == RPC_E_CHANGED_MODE) {
            Kr::Assertions::throwAssertionFailed(sourceFile, 67,
                                                 "CoInitializeEx( 0, COINIT_APARTMENTTHREADED ) != RPC_E_CHANGED_MODE");
        }
        // Other failures are let through (the queries after it will report them), but only a
        // successful initialisation may be balanced by CoUninitialize.
        _initialized = SUCCEEDED(result);
    }
    ~ComInitializer() {
        if (_initialized) {
            CoUninitialize();
        }
    }
    ComInitializer(const ComInitializer&) = delete;
    ComInitializer& operator=(const ComInitializer&) = delete;

private:
    bool _initialized = false;
};

// Created by the first query, destroyed when the library is unloaded.
std::unique_ptr<ComInitializer> comInitializer;

std::string toAnsi(BSTR text) {
    const int length = SysStringLen(text);
    if (length == 0) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string result(size, '\0');
    WideCharToMultiByte(CP_ACP, 0, text, length, result.data(), size, nullptr, nullptr);
    return result;
}

} // namespace

std::string queryDriverVersion() {
    if (!comInitializer) {
        comInitializer = std::make_unique<ComInitializer>();
    }

    if (!SUCCEEDED(CoInitializeSecurity(NULL, -1, NULL, NULL, RPC_C_AUTHN_LEVEL_DEFAULT, RPC_C_IMP_LEVEL_IMPERSONATE,
                                        NULL, EOAC_NONE, NULL))) {
        Kr::Assertions::throwAssertionFailed(sourceFile, 101,
                                             "SUCCEEDED( CoInitializeSecurity( NULL, -1, NULL, NULL, "
                                             "RPC_C_AUTHN_LEVEL_DEFAULT, RPC_C_IMP_LEVEL_IMPERSONATE, NULL, "
                                             "EOAC_NONE, NULL ) )");
    }

    // Declared in this order so that leaving the function releases the class object, the
    // enumerator, the services proxy and then the locator.
    IWbemLocatorPtr wbemLoc;
    IWbemServicesPtr wbemSvc;
    IEnumWbemClassObjectPtr wbemEnumerator;
    IWbemClassObjectPtr wbemClassObj;

    if (!SUCCEEDED(wbemLoc.CreateInstance(CLSID_WbemLocator, 0, CLSCTX_INPROC_SERVER))) {
        Kr::Assertions::throwAssertionFailed(
            sourceFile, 120, "SUCCEEDED( wbemLoc.CreateInstance( CLSID_WbemLocator, 0, CLSCTX_INPROC_SERVER ) )");
    }

    if (!SUCCEEDED(wbemLoc->ConnectServer(_bstr_t(L"ROOT\\CIMV2"), NULL, NULL, NULL, 0, NULL, NULL, &wbemSvc))) {
        Kr::Assertions::throwAssertionFailed(sourceFile, 131,
                                             "SUCCEEDED( wbemLoc->ConnectServer( _bstr_t(L\"ROOT\\\\CIMV2\"), NULL, "
                                             "NULL, 0, NULL, 0, 0, &wbemSvc ) )");
    }

    if (!SUCCEEDED(CoSetProxyBlanket(wbemSvc, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, NULL, RPC_C_AUTHN_LEVEL_CALL,
                                     RPC_C_IMP_LEVEL_IMPERSONATE, NULL, EOAC_NONE))) {
        Kr::Assertions::throwAssertionFailed(sourceFile, 148,
                                             "SUCCEEDED( CoSetProxyBlanket( wbemSvc, RPC_C_AUTHN_WINNT, "
                                             "RPC_C_AUTHZ_NONE, NULL, RPC_C_AUTHN_LEVEL_CALL, "
                                             "RPC_C_IMP_LEVEL_IMPERSONATE, NULL, EOAC_NONE ) )");
    }

    if (!SUCCEEDED(wbemSvc->ExecQuery(_bstr_t("WQL"), _bstr_t("SELECT * FROM Win32_VideoController"),
                                      WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, NULL, &wbemEnumerator))) {
        Kr::Assertions::throwAssertionFailed(sourceFile, 166,
                                             "SUCCEEDED( wbemSvc->ExecQuery( bstr_t( \"WQL\" ), bstr_t( \"SELECT * "
                                             "FROM Win32_VideoController\" ), WBEM_FLAG_FORWARD_ONLY | "
                                             "WBEM_FLAG_RETURN_IMMEDIATELY, NULL, &wbemEnumerator ) )");
    }

    std::string result;
    ULONG uReturn = 0;
    if (wbemEnumerator) {
        if (!SUCCEEDED(wbemEnumerator->Next(WBEM_INFINITE, 1, &wbemClassObj, &uReturn))) {
            Kr::Assertions::throwAssertionFailed(
                sourceFile, 183, "SUCCEEDED( wbemEnumerator->Next( WBEM_INFINITE, 1, &wbemClassObj, &uReturn ) )");
        }
    }
    if (uReturn == 1) {
        VARIANT vtProp;
        VariantInit(&vtProp);
        if (!SUCCEEDED(wbemClassObj->Get(L"DriverVersion", 0, &vtProp, 0, 0))) {
            Kr::Assertions::throwAssertionFailed(
                sourceFile, 195, "SUCCEEDED( wbemClassObj->Get( L\"DriverVersion\", 0, &vtProp, 0, 0 ) )");
        }
        // A controller without a driver reports the property as null rather than as text.
        if (vtProp.vt == VT_BSTR) {
            result = toAnsi(vtProp.bstrVal);
        }
        VariantClear(&vtProp);
    }
    return result;
}
