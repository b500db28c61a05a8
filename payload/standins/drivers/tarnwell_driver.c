/* Stand-in for the product's kernel drivers, Tarnwell.sys and TarnwellPlus.sys (built from this
 * one file for i386 and AMD64; TARNWELL_PLUS=1 selects the second). A WDM driver that loads,
 * sets its unload routine and does nothing else. The name string makes the two images differ. */
#include <ddk/wdm.h>

#if TARNWELL_PLUS
#define TARNWELL_DRIVER_NAME L"TarnwellPlus stand-in driver"
#else
#define TARNWELL_DRIVER_NAME L"Tarnwell stand-in driver"
#endif

__attribute__((used)) static const WCHAR kDriverName[] = TARNWELL_DRIVER_NAME;

static VOID NTAPI TarnwellUnload(PDRIVER_OBJECT driver)
{
    (void)driver;
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registry_path)
{
    (void)registry_path;
    driver->DriverUnload = TarnwellUnload;
    return STATUS_SUCCESS;
}
