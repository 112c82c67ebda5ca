#pragma once
// Wires the device link to the data module: its account database for the link's
// own queries, and its audit log for the programming events.
namespace kovra {

class TdmdCommunication;
class TdmdMain;

void ConnectToDataModule(TdmdCommunication &link, TdmdMain &main);

} // namespace kovra
