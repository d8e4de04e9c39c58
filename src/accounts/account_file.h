// peizhi.ini: the file that keeps columns 0 to 3 of the account list between runs.
// One line per row ended by CR LF, four fields separated by "|", no escaping, no byte-order mark.
#pragma once

#include <vector>

#include "accounts/account_list.h"
#include "accounts/account_row.h"
#include "platform/text.h"

namespace quorvel {

inline constexpr char kAccountFileName[] = "peizhi.ini";

// runDirectory, a separator, and the file name.
Text accountFilePath();

// Cuts text at every delimiter, stepping over two-byte characters. An empty text gives no segment;
// a final delimiter gives no empty last segment; adjacent delimiters give an empty one.
std::vector<Text> splitText(const Text& text, const Text& delimiter);

// Appends one row per line of the file. Lines with fewer than three fields are skipped.
void loadAccounts(AccountList& list, const Text& filePath);
// The file's content for the list as it stands: columns 0 to 3 of every row.
Text accountFileText(AccountList& list);
// Replaces the file with the list; a failed write keeps the previous file and is not reported.
void saveAccounts(AccountList& list, const Text& filePath);

}  // namespace quorvel
