#pragma once
// The operating-system texts: version code and text, edition code and text,
// the combined operating-system text, the service pack. Off Windows the
// version record carries the system's own name; the operating-system text is
// then that name and there is no service-pack text.

#include "platform/SystemInfo.h"

#include <QString>

int DetectWindowsVersion();
QString WindowsVersionText(int AVersion);
int DetectWindowsEdition();
QString WindowsEditionText(int AEdition);
QString OperatingSystemText();
int ServicePackMajor();
QString GetWindowsServicePackVersionString();
// The first IPv4 address of AName in dotted-decimal form; an empty name
// stands for the host's own name. Empty when it does not resolve.
QString ResolveIPv4Address(const QString& AName = {});

// True when the system offers the native query; otherwise AInfo comes from
// the plain one.
bool GetNativeSystemInfo(TSystemInfo& AInfo);
