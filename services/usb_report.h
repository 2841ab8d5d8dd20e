#pragma once
// The USB topology report over the platform's hub driver, through the device seam.
#include <stddef.h>
#include <stdint.h>

// "Descriptor(USB)(&A)": the report's lines, then one empty line.
void UsbDescriptorCommand();

// The quiet walk after a USB connection: the speed text and vendor flag of the printer
// behind this device path (its node's driver key, when known, pairs it surest).
// 1 when the walk listed that printer.
int UsbQuietWalk(const char* devicePath, const char* driverKey, char* speedText, size_t size,
                 uint32_t* vendorCapable);
