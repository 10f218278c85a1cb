// Every fixed number of the monitor, in one place. Pure: no Windows header.
#ifndef SELVANE_APP_CONSTANTS_H
#define SELVANE_APP_CONSTANTS_H

#include <cstdint>

#include "resources/resource_ids.h"

// Identity
#define SELVANE_CAPTION L"Selvane Monitor 1.2"

// Sampling
constexpr uint32_t kMaxProcessors = 4;        // the data model holds four processors
constexpr uint32_t kSamplePeriodMs = 1000;    // one cycle a second
constexpr uint32_t kReportBufferChars = 512;  // the sampler's one text buffer
constexpr uint32_t kUserKDataProcessorCount = 0x88;  // __GetUserKData offset of the processor count

// Icons 108..119 loaded at start
constexpr uint32_t kGaugeIconCount = IDI_GAUGE_LAST - IDI_GAUGE_FIRST + 1;

// Resource manager
constexpr uint32_t kClockDomainCount = 7;  // 1 CPU, 2 AVP, 3 SYS, 4 AHB, 5 APB, 6 VID, 7 EMC
constexpr uint32_t kDomainCpu = 1;
constexpr uint32_t kDomainAvp = 2;
constexpr uint32_t kDomainSys = 3;
constexpr uint32_t kDomainAhb = 4;
constexpr uint32_t kDomainApb = 5;
constexpr uint32_t kDomainVid = 6;
constexpr uint32_t kDomainEmc = 7;
constexpr uint32_t kMemStatCount = 6;  // 1..6: carveout total/used/lfb, GART total/used/lfb
constexpr uint32_t kStatCarveoutTotal = 1;
constexpr uint32_t kStatCarveoutUsed = 2;
constexpr uint32_t kStatCarveoutLargestFree = 3;
constexpr uint32_t kStatGartTotal = 4;
constexpr uint32_t kStatGartUsed = 5;
constexpr uint32_t kStatGartLargestFree = 6;
constexpr uint32_t kTemperatureModule = 1;
constexpr uint32_t kTemperatureCpu = 2;
constexpr uint32_t kDfsStateStopped = 2;
constexpr uint32_t kDfsStateRunning = 3;
constexpr uint32_t kTargetListCount = 8;
constexpr uint32_t kTargetUnchanged = 0xFFFFFFFFu;
constexpr uint32_t kKhzPerMhz = 1000;
constexpr uint32_t kDefaultTargetMhz = 1000;
constexpr uint32_t kMaxTargetKhz = 4294967000u;  // the largest whole-MHz value that fits in kHz
constexpr int kPoolShift = 10;                   // bytes to kB
constexpr uint64_t kPercent = 100;
constexpr uint32_t kStatusNumberCount = 20;  // numbers in the status block
constexpr uint32_t kIntChars = 11;           // the longest 32-bit number in decimal, sign included
constexpr uint32_t kRmDeviceId = 0;              // the open's second argument
constexpr long kGraphTagCpu = 0;                 // user data of the CPU gauge and history
constexpr long kGraphTagMemory = 1;              // user data of the memory gauge and history

// Drawing (colours as 0x00BBGGRR)
constexpr uint32_t kColourBackground = 0x000000;
constexpr uint32_t kColourLevel = 0x00FF00;
constexpr uint32_t kColourTrough = 0x008000;
constexpr int kHistoryPoints = 60;
constexpr uint32_t kByteFieldLeftDlu = 190;  // byte-count fields reach left to just past their labels
constexpr float kFractionLimit = 16.0f;  // keeps every float-to-int product representable

// Process table
constexpr uint32_t kProcessCapacity = 1024;
constexpr uint32_t kProcessNameChars = 130;
constexpr uint32_t ENTRY_NEW = 0x10000000u;
constexpr uint32_t ENTRY_UNSEEN = 0x20000000u;
constexpr uint32_t ENTRY_CHANGED = 0x40000000u;
constexpr uint32_t kSnapshotFlags = 6;  // processes | threads

// Processes page list columns (sub-items)
constexpr int kColumnName = 0;
constexpr int kColumnId = 1;
constexpr int kColumnPid = 2;
constexpr int kColumnCpu = 3;
constexpr int kColumnCpuTime = 4;
constexpr int kColumnMemUsage = 5;
constexpr int kColumnThreads = 6;
constexpr int kColumnAffinity = 7;

// Context menu positions
constexpr uint32_t kMenuPositionPriority = 2;
constexpr uint32_t kMenuPositionAffinity = 3;
constexpr uint32_t kGestureContextMenu = 1000;  // GN_CONTEXTMENU, absent from desktop headers

#endif
