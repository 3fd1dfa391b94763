#pragma once

#include "platform/Application.h"
#include "platform/Bundle.h"
#include "platform/FileManager.h"
#include "platform/InterfaceLoader.h"
#include "platform/Logs.h"
#include "platform/MetadataSearch.h"
#include "platform/NotificationCenter.h"
#include "platform/Pauses.h"
#include "platform/ProcessInfo.h"
#include "platform/PropertyLists.h"
#include "platform/Workspace.h"

namespace qby::platform {

// Every platform service the logic uses, handed to it at construction.
struct PlatformServices {
    Application& application;
    Bundle& bundle;
    FileManager& fileManager;
    Workspace& workspace;
    MetadataSearch& metadataSearch;
    NotificationCenter& notificationCenter;
    PropertyLists& propertyLists;
    ProcessInfo& processInfo;
    Logs& logs;
    Pauses& pauses;
    InterfaceLoader& interfaceLoader;
};

}  // namespace qby::platform
