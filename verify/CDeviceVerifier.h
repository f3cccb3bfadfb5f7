#pragma once
// CDeviceVerifier: interrogates the module's console before an upgrade. login() opens the port
// and reaches the command prompt; the checks send one command each, wait a fixed time, read
// once and parse the reply with the text rules below. Each returns a verification result code
// (0 pass; 1 no reply / port; 2 login refused; 3 no console; 4 version; 5 memory; 6 flash).
// Lives for one verification; its destruction closes the port.

#include "serial/CSerialPort.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CDeviceVerifier : public CSerialPort {
public:
    CDeviceVerifier();

    int login(std::string portName, std::string username, std::string password);
    // out receives the module's version text, at most outSize - 1 characters and a NUL.
    int checkVersion(std::string newVersion, char* out, std::size_t outSize = 10);
    int checkMemory(std::string newVersion);
    int checkFlashSpace(std::int32_t programSize);

    static int versionNumber(std::string text);
    static int flashThreshold(std::string listing);
    bool isExcludedFile(std::string name) const;

    // The pure parts of the checks, without the port (each as its check reads its reply):
    // the module's version text from the reply to showSystemCommand;
    static std::string moduleVersionText(const std::string& reply);
    // the version text into a buffer of outSize bytes: at most outSize - 1 characters and a NUL
    // (nothing when outSize is 0);
    static void storeVersionText(const std::string& version, char* out, std::size_t outSize);
    // the memory figure from the reply to showMemoryCommand;
    static int memoryFigure(const std::string& reply);
    // the size texts of the listed files that count as configuration, in listing order;
    std::vector<std::string> configurationSizeTexts(const std::string& listing) const;
    // their sum, in 64 bits so that no listing can wrap it;
    std::int64_t configurationSize(const std::string& listing) const;
    // the flash size that goes with a threshold figure;
    static std::int64_t flashSize(int threshold);
    // the flash rule: 0 when the program fits beside the configuration, else 6.
    static int flashVerdict(std::int64_t flashSize, std::int64_t programSize, std::int64_t configurationSize);

    const std::string showSystemCommand;
    const std::string showMemoryCommand;
    const std::string listFilesCommand;
    const std::vector<std::string> excludedFiles;
};
