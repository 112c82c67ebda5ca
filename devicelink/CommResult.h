#pragma once
// Result of every module operation. The callers act on the numbers, so they are
// fixed; 3 is not used.
namespace kovra {

enum CommResult : int {
    crNoLink = 0,
    crConnectFailed = 1,
    crNoReply = 2,
    crOk = 4,
    crCancelled = 5,
    crRejected = 6,
    crWrongVersion = 7,
    crUpdateRequired = 8,
};

// The text a window shows for a result of an operation that began with a lead-in;
// empty where nothing is shown (crOk, crNoLink, crConnectFailed, crUpdateRequired
// which is a question of its own).
const char *CommResultMessage(int result);

} // namespace kovra
