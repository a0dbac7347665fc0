#include "codec/SentenceDataStore.h"

#include <array>
#include <vector>

namespace {

// The families in the order they are tested, each with its identifiers in
// the order they are tested; the first match decides.
struct Family {
  int Number;
  std::vector<std::string_view> Identifiers;
};

const std::array<Family, 6> kFamilies = {{
    {1, {"GGA", "GLL", "GBS", "GSA", "GSV", "RMC", "VTG", "ZDA"}},
    {2, {"ROT", "HDT", "VBW", "GNS"}},
    {3, {"LRI", "LRF", "LR1", "LR2", "LR3"}},
    {4, {"ABK", "ACA", "ACK", "ACS", "ALR", "SSD", "VSD", "ABM", "BBM", "VDM", "VDO", "TXT"}},
    {5, {"DSC", "DSE", "DSI", "DSR"}},
    {6, {"MID", "BDY", "TST", "FRQ", "BTH", "DBG", "TPS", "MOB"}},
}};

std::string_view UpToZero(std::string_view text) { return text.substr(0, text.find('\0')); }

// A text copied into a field of `size` bytes: up to its terminating zero and
// at most size - 1 characters, so it never overruns the field.
std::string FieldCopy(const std::string& text, size_t size) {
  return std::string(UpToZero(text).substr(0, size - 1));
}

template <class Fields>
void GatherAis(SentenceRecord& record, Fields fields) {
  fields.Data = FieldCopy(fields.Data, Fields::kDataSize);
  record.Body = std::move(fields);
}

MobFields GatherMob(const MobFields& entry) {
  MobFields body;
  body.Id = entry.Id;
  body.Number = entry.Number;
  body.Code = entry.Code;
  body.Value = entry.Value;
  body.ValuePresent = entry.ValuePresent;
  // The data goes along for a count of 1 to 19 only; 0, or 20 and above,
  // give a record without data.
  if (entry.DataCount >= 1 && entry.DataCount <= 19) {
    body.DataCount = entry.DataCount;
    for (size_t i = 0; i < entry.DataCount; ++i) body.Data[i] = entry.Data[i];
  }
  return body;
}

void GatherNavigationOrAis(SentenceRecord& record, std::string_view id, const SentenceDataStore& store) {
  if (id == "GBS") {
    record.Body = store.GBS;
  } else if (id == "GSA") {
    record.Body = store.GSA;
  } else if (id == "RMC") {
    record.Body = store.RMC;
  } else if (id == "HDT") {
    record.Body = store.HDT;
  } else if (id == "ABK") {
    record.Body = store.ABK;
  } else if (id == "ACK") {
    record.Body = store.ACK;
  } else if (id == "ALR") {
    AlrFields body = store.ALR;
    body.Description = FieldCopy(body.Description, AlrFields::kDescriptionSize);
    record.Body = std::move(body);
  } else if (id == "SSD") {
    SsdFields body = store.SSD;
    body.CallSign = FieldCopy(body.CallSign, SsdFields::kCallSignSize);
    body.Name = FieldCopy(body.Name, SsdFields::kNameSize);
    body.Source = FieldCopy(body.Source, SsdFields::kSourceSize);
    record.Body = std::move(body);
  } else if (id == "VSD") {
    VsdFields body = store.VSD;
    body.Destination = FieldCopy(body.Destination, VsdFields::kDestinationSize);
    record.Body = std::move(body);
  } else if (id == "ABM") {
    GatherAis(record, store.ABM);
  } else if (id == "BBM") {
    GatherAis(record, store.BBM);
  } else if (id == "VDM") {
    GatherAis(record, store.VDM);
  } else if (id == "VDO") {
    GatherAis(record, store.VDO);
  }
  // The other identifiers of these families have no composer: the body is left as it is.
}

void GatherProprietary(SentenceRecord& record, std::string_view id, const SentenceDataStore& store) {
  if (id == "MID") {
    record.Body = store.MID;
  } else if (id == "BDY") {
    BdyFields body = store.BDY;
    body.FirstText = FieldCopy(body.FirstText, BdyFields::kTextSize);
    body.SecondText = FieldCopy(body.SecondText, BdyFields::kTextSize);
    record.Body = std::move(body);
  } else if (id == "TST") {
    record.Body = store.TST;
  } else if (id == "FRQ") {
    record.Body = store.FRQ;
  } else if (id == "BTH") {
    BthFields body = store.BTH;
    body.Text = FieldCopy(body.Text, BthFields::kTextSize);
    record.Body = std::move(body);
  } else if (id == "DBG") {
    record.Body = DbgFields{store.DBG.Codes, store.DBG.Values};
    record.SubfieldChar = store.DBG.SubfieldLetter;
  } else if (id == "TPS") {
    TpsFields body = store.TPS;
    body.Text = FieldCopy(body.Text, TpsFields::kTextSize);
    record.Body = std::move(body);
  } else if (id == "MOB") {
    record.Body = GatherMob(store.MOB);
  }
}

}  // namespace

SentenceDataStore& ProcessSentenceDataStore() {
  static SentenceDataStore store;
  return store;
}

int ClassifySentence(std::string_view identifier) {
  identifier = UpToZero(identifier);
  for (const Family& family : kFamilies) {
    for (std::string_view candidate : family.Identifiers) {
      if (candidate == identifier) return family.Number;
    }
  }
  return 0;
}

void GatherFields(SentenceRecord& record, const SentenceDataStore& store) {
  const std::string_view id = HeaderText(record.SentenceId);
  const int family = ClassifySentence(id);
  if (family == 6) {
    GatherProprietary(record, id, store);
  } else if (family >= 1 && family <= 5) {
    GatherNavigationOrAis(record, id, store);
  }
  // Family 0: nothing is copied.
}

void GatherFields(SentenceRecord& record) { GatherFields(record, ProcessSentenceDataStore()); }
