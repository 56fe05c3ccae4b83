// The unit's serial protocol, every fact of it named once: opcodes, answer bytes, the
// framing and capability values of protocolFlags, speed codes, time-outs, sizes.
//
// The device link and the programs above it use these names; the emulator (sim/) and the
// tests' oracle spell the bytes out on their own, as independent witnesses of the contract.
#pragma once
#include <cstdint>

// --- Requests -------------------------------------------------------------------------
constexpr uint8_t OPCODE_VERSION = 0x56;      // 'V', sent twice: "VV"
constexpr uint8_t OPCODE_SPEED = 0x53;        // 'S', code, checksum
constexpr uint8_t OPCODE_UPLOAD = 0x66;       // 'f', length high, length low, checksum
constexpr uint8_t OPCODE_READ_E = 0x45;       // 'E', L, address high, address low, L zeros, checksum
constexpr uint8_t OPCODE_READ_HR_1 = 0x48;    // 'H' 'R', L, address high, address low, checksum
constexpr uint8_t OPCODE_READ_HR_2 = 0x52;

// --- Answers --------------------------------------------------------------------------
constexpr uint8_t ANSWER_ACCEPTED = 0x4F;     // 'O': speed change, header and block taken
constexpr uint8_t ANSWER_REFUSED = 0x3F;      // '?': refused (also the first byte of a refused memory read)
constexpr uint8_t ANSWER_BUFFERING_FAILED = 0x52;  // 'R'
// Final status bytes after the last block (the full table is in answer_tables.cpp).
constexpr uint8_t STATUS_COMPLETE = 0x43;     // 'C'
constexpr uint8_t STATUS_EXT_CHECKSUM = 0x45; // 'E': the transfer checksum T was wrong
constexpr uint8_t STATUS_FAILED = 0x46;       // 'F'
constexpr uint8_t STATUS_INT_CHECKSUM = 0x49; // 'I': the image's own check failed
constexpr uint8_t STATUS_FLASH_FAILED = 0x57; // 'W': programming the flash failed

// --- What the version reply's revision letter and the memory say ------------------------
constexpr char REVISION_TAMBERLIN_I = '1';
constexpr char REVISION_TAMBERLIN_II = '2';
constexpr char REVISION_KESTRALE = 'A';
constexpr char REVISION_GRIST_PELL = 'F';
constexpr uint8_t MODEL_LETTER_KESTRALE = 'A';
constexpr uint8_t MODEL_LETTER_GRIST_PELL = 'F';
constexpr uint8_t ATTACHMENT_SERIAL = 'S';
constexpr uint8_t ATTACHMENT_USB = 'U';
constexpr uint32_t MODEL_LETTER_ADDRESS = 1;       // memory address of the model letter
constexpr uint32_t ATTACHMENT_LETTER_ADDRESS = 4;  // memory address of the attachment letter
constexpr uint32_t HARDWARE_INFO_FIRST_ADDRESS = 1;  // seven one-byte reads from here

// modelCode after identification.
constexpr int32_t MODEL_CODE_TAMBERLIN_I = 8;   // also the value before any identification
constexpr int32_t MODEL_CODE_TAMBERLIN_II = 4;
constexpr int32_t MODEL_CODE_FLASHABLE = 32;

// protocolFlags holds two different facts that happen to share the value 2:
// equal to PROTOCOL_FLAGS_HR_FRAMING, memory reads use the HR framing;
// with the PROTOCOL_FLAG_TAKES_FIRMWARE bit set, the unit takes firmware uploads.
constexpr int32_t PROTOCOL_FLAGS_E_FRAMING = 1;   // also the value before any identification
constexpr int32_t PROTOCOL_FLAGS_HR_FRAMING = 2;
constexpr int32_t PROTOCOL_FLAG_TAKES_FIRMWARE = 0x02;

// --- Speeds ---------------------------------------------------------------------------
// The one-byte speed code of the speed command; the speed is 921600 / (code + 1).
using SpeedCode = int32_t;
constexpr SpeedCode SPEED_921600 = 0;
constexpr SpeedCode SPEED_460800 = 1;
constexpr SpeedCode SPEED_230400 = 3;
constexpr SpeedCode SPEED_115200 = 7;
constexpr int32_t FASTEST_SPEED_BPS = 921600;
constexpr int32_t BASE_SPEED_BPS = 115200;  // every unit talks at this speed after power-on

// --- Time-outs, in milliseconds ------------------------------------------------------
constexpr uint32_t VERSION_READ_TIMEOUT_MS = 110;   // a unit answers the version query within this or not at all
constexpr uint32_t DEFAULT_READ_TIMEOUT_MS = 300;   // every other exchange, and in force between them
constexpr uint32_t TRANSFER_READ_TIMEOUT_MS = 6000; // each answer of an upload
constexpr uint32_t READ_INTERVAL_TIMEOUT_MS = 25;   // a pause longer than this between two bytes ends a read
constexpr uint32_t WRITE_TIMEOUT_MS = 110;
constexpr uint32_t PORT_SETTLE_MS = 40;             // pause at the end of opening a port

// --- Sizes ----------------------------------------------------------------------------
constexpr uint32_t DRIVER_QUEUE_BYTES = 1024;
constexpr int32_t MAX_READ_COUNT = 256;             // bytes one memory read may ask for
constexpr uint32_t UPLOAD_BLOCK_BYTES = 256;
constexpr uint32_t MAX_IMAGE_BYTES = 65536;         // the header's length field carries it as 0
constexpr uint32_t UPLOAD_HEADER_BYTES = 4;
