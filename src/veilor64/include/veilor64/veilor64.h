/*
 * Veilor64: the file cipher as an in-process control library.
 *
 * A host never links against anything but these C functions. It finds the
 * library through the registry store (programmatic identifier
 * "Veilor64.Veilor" -> class identifier -> InprocServer32 path), loads it,
 * asks DllGetClassObject for the class factory of VEILOR64_CLSID_VEILOR and
 * creates Veilor instances with veilor_class_factory_create_instance:
 *
 *     veilor_class_factory* factory = NULL;
 *     veilor* control = NULL;
 *     veilor_error error;
 *     if (DllGetClassObject(VEILOR64_CLSID_VEILOR, VEILOR64_IID_ICLASSFACTORY,
 *                           &factory) == VEILOR_S_OK &&
 *         veilor_class_factory_create_instance(factory, &control) == VEILOR_S_OK) {
 *         if (veilor_encrypt(control, "secret", "/tmp/a.txt", "/tmp/a.kdf", &error) ==
 *             VEILOR_E_EXCEPTION)
 *             printf("Error: %d - %s\n", error.number, error.description);
 *         veilor_release(control);
 *     }
 *     veilor_class_factory_release(factory);
 *
 * Texts are UTF-8 and are never kept or changed by the library. No C++ type,
 * exception or allocation crosses this boundary: handles are opaque and are
 * released by the functions below, errors are written into caller-owned
 * structs. Every function checks each handle it is given; a handle that is
 * null, released or not made by this library is refused with
 * VEILOR_E_HANDLE and nothing else happens.
 *
 * Threads: a Veilor shows its progress window only when it is called on the
 * thread of a running Qt application (QApplication); elsewhere (command-line
 * hosts, worker threads) it works without a window. A call waiting at a
 * progress point lets the host's events run; a Veilor call made from such an
 * event fails with error 5 instead of nesting.
 *
 * Registration records, under HKEY_CLASSES_ROOT of the registry store
 * ($XDG_CONFIG_HOME/orvelle/registry.db):
 *
 *     Veilor64.Veilor                         (default) "Veilor64 file cipher control"
 *     Veilor64.Veilor\CLSID                   (default) VEILOR64_CLSID_VEILOR
 *     CLSID\{CLSID}                           (default) "Veilor64 file cipher control"
 *     CLSID\{CLSID}\ProgID                    (default) "Veilor64.Veilor"
 *     CLSID\{CLSID}\InprocServer32            (default) full path of this library,
 *                                             ThreadingModel "Apartment"
 *     CLSID\{CLSID}\TypeLib                   (default) VEILOR64_LIBID
 *     CLSID\{CLSID}\Version                   (default) "1.0"
 *     TypeLib\{LIBID}\1.0                     (default) "Veilor64"
 *     TypeLib\{LIBID}\1.0\0\linux64           (default) full path of this library
 *     TypeLib\{LIBID}\1.0\HELPDIR             (default) folder of this library
 *
 * DllUnregisterServer removes the keys Veilor64.Veilor, CLSID\{CLSID} and
 * TypeLib\{LIBID} with everything below them, and nothing else.
 */
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define VEILOR64_API __declspec(dllexport)
#else
#define VEILOR64_API __attribute__((visibility("default")))
#endif

/* Identifiers. Only the programmatic identifier is fixed for hosts; the
 * others are this library's own. */
#define VEILOR64_PROGID "Veilor64.Veilor"
#define VEILOR64_CLSID_VEILOR "{9F16664C-724D-4B5C-8D83-95CB8002A6A9}"
#define VEILOR64_LIBID "{258BDDFB-FC02-47A0-9A98-7371C54725D1}"
/* The interface DllGetClassObject hands out: the platform's class factory. */
#define VEILOR64_IID_ICLASSFACTORY "{00000001-0000-0000-C000-000000000046}"

/* The version of this interface: a host built against another major version
 * must not use the library. */
#define VEILOR64_VERSION_MAJOR 1
#define VEILOR64_VERSION_MINOR 0

/* Results, with the platform's values: 0 and 1 succeed, negative values fail. */
typedef int32_t veilor_result;
#ifdef __cplusplus
#define VEILOR_RESULT(bits) static_cast<veilor_result>(bits##u)
#else
#define VEILOR_RESULT(bits) ((veilor_result)bits##u)
#endif
#define VEILOR_S_OK VEILOR_RESULT(0)
#define VEILOR_S_FALSE VEILOR_RESULT(1)
#define VEILOR_E_NOINTERFACE VEILOR_RESULT(0x80004002)
#define VEILOR_E_POINTER VEILOR_RESULT(0x80004003)
#define VEILOR_E_FAIL VEILOR_RESULT(0x80004005)
#define VEILOR_E_HANDLE VEILOR_RESULT(0x80070006)
#define VEILOR_E_OUTOFMEMORY VEILOR_RESULT(0x8007000E)
/* The method raised a run-time error; its number and description are in the
 * veilor_error struct the caller passed. */
#define VEILOR_E_EXCEPTION VEILOR_RESULT(0x80020009)
#define VEILOR_CLASS_E_CLASSNOTAVAILABLE VEILOR_RESULT(0x80040111)
#define VEILOR_SELFREG_E_CLASS VEILOR_RESULT(0x80040201)

/* A run-time error raised by Encrypt or Decrypt: the library's numbers
 * (64101 "Incorrect Password.", 64102 by Encrypt only, 64103 a passphrase
 * character outside Windows-1252, refused by Encrypt only, 64121 a source of
 * neither format and 64122 an empty source, both by Decrypt only, 64201, 64301,
 * 64302, 64303) or the
 * run-time's numbers for file failures (61 "Disk full", 70 "Permission
 * denied", 75 "Path/File access error", 76 "Path not found", ...). */
#define VEILOR_ERROR_DESCRIPTION_SIZE 256
typedef struct veilor_error {
    int32_t number;                                  /* 0: no error */
    char description[VEILOR_ERROR_DESCRIPTION_SIZE]; /* UTF-8, always terminated */
} veilor_error;

/* Opaque handles. */
typedef struct veilor_class_factory veilor_class_factory;
typedef struct veilor veilor;

/* Called at every progress point of an operation, on the caller's thread:
 * position and total count bytes of the file being walked (during decryption
 * they include the 8 header bytes), percent is floor(position / total * 100),
 * caption the progress window's text for that point. The caption is valid only
 * during the call. */
typedef void (*veilor_progress_handler)(void* context, uint64_t position, uint64_t total,
                                        int32_t percent, const char* caption);

/* --- The four exports of an in-process control server -------------------- */

/* Records the class under "Veilor64.Veilor" in the registry store (see above),
 * pointing at this library's own file. VEILOR_S_OK or VEILOR_SELFREG_E_CLASS. */
VEILOR64_API veilor_result DllRegisterServer(void);

/* Removes exactly what DllRegisterServer records. VEILOR_S_OK (also when
 * nothing was registered) or VEILOR_SELFREG_E_CLASS. */
VEILOR64_API veilor_result DllUnregisterServer(void);

/* Hands out a new class factory for `clsid` (braced text, any letter case)
 * through `iid`, which must be VEILOR64_IID_ICLASSFACTORY. Release it with
 * veilor_class_factory_release. VEILOR_CLASS_E_CLASSNOTAVAILABLE for another
 * class, VEILOR_E_NOINTERFACE for another interface, VEILOR_E_POINTER when
 * `factory` is null. */
VEILOR64_API veilor_result DllGetClassObject(const char* clsid, const char* iid,
                                             veilor_class_factory** factory);

/* VEILOR_S_OK when no factory, no Veilor and no server lock is alive (the
 * library may be unloaded), else VEILOR_S_FALSE. */
VEILOR64_API veilor_result DllCanUnloadNow(void);

/* --- Class factory -------------------------------------------------------- */

/* Creates a Veilor. Release it with veilor_release. */
VEILOR64_API veilor_result veilor_class_factory_create_instance(veilor_class_factory* factory,
                                                                veilor** instance);

/* Keeps the library loaded while `lock` is non-zero (counted), as the
 * platform's LockServer does. */
VEILOR64_API veilor_result veilor_class_factory_lock_server(veilor_class_factory* factory,
                                                            int32_t lock);

/* Releases a factory; the Veilors it created stay valid. */
VEILOR64_API veilor_result veilor_class_factory_release(veilor_class_factory* factory);

/* --- Class Veilor --------------------------------------------------------- */

/* Encrypts the source file into the destination file under the passphrase of
 * one to eight characters, each one Windows-1252 holds. The destination is
 * written as an unnamed 0600 file and takes its name only when complete and on
 * the disk, replacing what was there; a failure leaves it as it was. VEILOR_S_OK, or
 * VEILOR_E_EXCEPTION with `error` (which may be null) filled in. Null texts count as empty. */
VEILOR64_API veilor_result veilor_encrypt(veilor* instance, const char* passPhrase,
                                          const char* sourceFile, const char* destinationFile,
                                          veilor_error* error);

/* Decrypts the source file into the destination file; same convention. */
VEILOR64_API veilor_result veilor_decrypt(veilor* instance, const char* passPhrase,
                                          const char* sourceFile, const char* destinationFile,
                                          veilor_error* error);

/* Sets (or with a null handler removes) the function told of every progress
 * point of this instance's operations. */
VEILOR64_API veilor_result veilor_set_progress_handler(veilor* instance,
                                                       veilor_progress_handler handler,
                                                       void* context);

/* Releases a Veilor. Released while one of its operations waits at a progress
 * point, it is freed when that operation returns. */
VEILOR64_API veilor_result veilor_release(veilor* instance);

/* --- Library -------------------------------------------------------------- */

/* The library's version as "MAJOR.MINOR" (static text), and its parts. */
VEILOR64_API const char* veilor64_version(int32_t* major, int32_t* minor);

#ifdef __cplusplus
}
#endif
