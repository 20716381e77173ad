// The Windows API as the gauges use it, for the native (Linux) build.
//
// Only the types, constants and calls that the two gauges make are declared here,
// with the signatures the Windows SDK documents, so that gauge sources compile
// unchanged for both targets. The calls are implemented by libgaugeplatform,
// which plays them against a deterministic, observable world (see
// platform_control.h).
#pragma once

#include <cstddef>
#include <cstdint>

#define WINAPI
#define APIENTRY WINAPI
#define STDMETHODCALLTYPE WINAPI
#define CALLBACK WINAPI

typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef uint32_t UINT;
typedef int32_t INT;
typedef int32_t BOOL;
typedef int32_t HRESULT;
typedef char CHAR;
typedef size_t SIZE_T;
typedef uintptr_t ULONG_PTR;
typedef void VOID;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef char* HPSTR;
typedef DWORD* LPDWORD;
typedef LONG* LPLONG;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

// Handles are opaque pointers, each kind its own type as in the SDK's STRICT mode.
#define GAUGE_DECLARE_HANDLE(name) \
  struct name##__ {                \
    int unused;                    \
  };                               \
  typedef struct name##__* name
GAUGE_DECLARE_HANDLE(HWND);
GAUGE_DECLARE_HANDLE(HINSTANCE);
GAUGE_DECLARE_HANDLE(HRSRC);
#undef GAUGE_DECLARE_HANDLE
typedef HINSTANCE HMODULE;
typedef void* HANDLE;
typedef void* HGLOBAL;
typedef void* HLOCAL;

#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)

struct SECURITY_ATTRIBUTES;
typedef SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;

// Result codes.
#define S_OK ((HRESULT)0)
#define E_FAIL ((HRESULT)0x80004005u)
#define E_OUTOFMEMORY ((HRESULT)0x8007000Eu)
#define E_INVALIDARG ((HRESULT)0x80070057u)
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)

// DllMain reasons.
#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

// Resources.
#define MAKEINTRESOURCEA(i) ((LPSTR)(ULONG_PTR)((WORD)(i)))
#define IS_INTRESOURCE(p) ((((ULONG_PTR)(p)) >> 16) == 0)
#define RT_BITMAP MAKEINTRESOURCEA(2)

// Files and mappings.
#define GENERIC_READ 0x80000000u
#define FILE_SHARE_READ 0x00000001u
#define OPEN_EXISTING 3
#define FILE_ATTRIBUTE_NORMAL 0x80
#define PAGE_READONLY 0x02
#define FILE_MAP_READ 0x0004
#define INVALID_FILE_SIZE ((DWORD)0xFFFFFFFFu)

// Local memory.
#define LMEM_FIXED 0x0000
#define LMEM_ZEROINIT 0x0040
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)

// Message boxes.
#define MB_OK 0x00000000u
#define MB_ICONWARNING 0x00000030u
#define MB_ICONEXCLAMATION 0x00000030u
#define IDOK 1

extern "C" {

DWORD WINAPI GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue,
                                      LPSTR buffer, DWORD size, LPCSTR fileName);
HWND WINAPI FindWindowA(LPCSTR className, LPCSTR windowName);
int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
void WINAPI Sleep(DWORD milliseconds);

HRSRC WINAPI FindResourceA(HMODULE module, LPCSTR name, LPCSTR type);
HGLOBAL WINAPI LoadResource(HMODULE module, HRSRC resource);
LPVOID WINAPI LockResource(HGLOBAL resourceData);
DWORD WINAPI SizeofResource(HMODULE module, HRSRC resource);

HANDLE WINAPI CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode,
                          LPSECURITY_ATTRIBUTES security, DWORD creationDisposition,
                          DWORD flagsAndAttributes, HANDLE templateFile);
DWORD WINAPI GetFileSize(HANDLE file, LPDWORD fileSizeHigh);
HANDLE WINAPI CreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES security, DWORD protect,
                                 DWORD maximumSizeHigh, DWORD maximumSizeLow, LPCSTR name);
LPVOID WINAPI MapViewOfFile(HANDLE mapping, DWORD desiredAccess, DWORD offsetHigh,
                            DWORD offsetLow, SIZE_T bytesToMap);
BOOL WINAPI UnmapViewOfFile(LPCVOID baseAddress);
BOOL WINAPI CloseHandle(HANDLE object);

HLOCAL WINAPI LocalAlloc(UINT flags, SIZE_T bytes);
HLOCAL WINAPI LocalFree(HLOCAL memory);

}  // extern "C"
