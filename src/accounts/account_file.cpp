// Reading and writing peizhi.ini through the account list's operations.
#include "accounts/account_file.h"

#include "platform/file_system.h"

namespace quorvel {

namespace {
constexpr char kLineEnd[] = "\r\n";
constexpr char kFieldSeparator[] = "|";
}  // namespace

Text accountFilePath() {
    return runDirectory() + kPathSeparator + kAccountFileName;
}

std::vector<Text> splitText(const Text& text, const Text& delimiter) {
    std::vector<Text> segments;
    std::size_t start = 0;
    for (std::size_t hit = findText(text, delimiter); hit != Text::npos;
         hit = findText(text, delimiter, start)) {
        segments.push_back(text.substr(start, hit - start));
        start = hit + delimiter.size();
    }
    if (start < text.size()) {
        segments.push_back(text.substr(start));
    }
    return segments;
}

void loadAccounts(AccountList& list, const Text& filePath) {
    const Text content = bytesToText(readWholeFile(filePath));
    for (const Text& line : splitText(content, kLineEnd)) {
        const std::vector<Text> fields = splitText(line, kFieldSeparator);
        // A line that is not one of ours (an empty line, no "|") would shift every later line's
        // fields; skipping it keeps the accounts after it, which the next save would otherwise
        // drop.
        if (fields.size() < 3) {
            continue;
        }
        list.insertRow(fields[0]);
        const int row = list.rowCount() - 1;
        list.setCell(row, AccountColumn::Password, fields[1]);
        list.setCell(row, AccountColumn::Domain, fields[2]);
        if (fields.size() == 4) {
            list.setCell(row, AccountColumn::Ip, fields[3]);
        }
    }
}

Text accountFileText(AccountList& list) {
    Text content;
    const int rows = list.rowCount();
    for (int row = 0; row < rows; ++row) {
        content += list.getCell(row, AccountColumn::UserName);
        content += kFieldSeparator;
        content += list.getCell(row, AccountColumn::Password);
        content += kFieldSeparator;
        content += list.getCell(row, AccountColumn::Domain);
        content += kFieldSeparator;
        content += list.getCell(row, AccountColumn::Ip);
        content += kLineEnd;
    }
    return content;
}

void saveAccounts(AccountList& list, const Text& filePath) {
    writeWholeFile(filePath, textToBytes(accountFileText(list)));
}

}  // namespace quorvel
