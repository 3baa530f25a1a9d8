// Card lists: the first listed card present on the PCI bus becomes the run's card.
#include "app/LauncherApp.h"
#include "config/FieldList.h"

namespace quelm {

int32_t LauncherApp::DetectCard(const char* section) {
  const Profile configuration = Configuration();
  for (int32_t number = 1;; ++number) {
    Text<16> key;
    Format(key, "%d", number);
    Text<kNameCapacity> entry;
    configuration.Read(section, key.CStr(), entry);
    if (entry.IsEmpty()) break;

    FieldCursor fields(entry);
    TextView vendor;
    TextView device;
    // An entry without both numbers names no card; the list goes on with the next key.
    if (!fields.Next(vendor) || !fields.Next(device)) continue;
    if (!probe.FindPciDevice(ReadDecimal(vendor), ReadDecimal(device), card.hardwareId, card.location)) {
      continue;
    }
    // Fields the matching entry lacks read as empty.
    TextView busType;
    TextView pass;
    TextView unused;
    fields.Next(busType);
    fields.Next(pass);
    fields.Next(unused);
    card.busType.Assign(busType);  // only the first 7 characters are kept
    card.passFlag = (!pass.IsEmpty() && pass[0] == '1') ? 1 : 0;
    if (EqualsIgnoringCase(card.busType, "AGP")) card.location.Assign("000800");
    if (observer_) observer_->OnCardDetected(card);
    return 1;
  }
  ShowMessage(section, MessageStyle::kOk);
  return 0;
}

}  // namespace quelm
