#include "gui/model/Model.hpp"

#include "gui/model/ModelListener.hpp"

cpp_freertos::Queue* guiQueuePageSelect = nullptr;
cpp_freertos::Queue* guiQueueModelUserEvent = nullptr;

// The root folders of the stick; rebuilt by the main loop, read by the screens.
std::vector<DirEntry, FreeRtosAllocator_namespace::FreeRtosAllocator<DirEntry>> rootDirList;

namespace {

// A root folder the list holds, or folder 0 for one past its end.
uint32_t inList(uint32_t folder) { return folder < rootDirList.size() ? folder : 0; }

void send(ModelUserEvent& event) {
  if (guiQueueModelUserEvent != nullptr) (void)guiQueueModelUserEvent->Enqueue(&event, 0);
}

}  // namespace

// ---- ModelPlayback

void ModelPlayback::transmitModelUserEvent(ButtonEventEnum button, uint8_t parameter) {
  ModelUserEvent event;
  event.button = button;
  event.selectedMainFolder = selectedMainFolder;
  event.parentSettings.changed = false;
  if (button == BTN_PlaybackFolder) {
    event.parameter = 0;
    event.selectedPlaybackFolder = static_cast<uint8_t>(parameter - 1U);
    selectedPlaybackFolder = event.selectedPlaybackFolder;
  } else {
    event.selectedPlaybackFolder = 0;
    event.parameter = parameter;
  }
  send(event);
}

void ModelPlayback::transmitModelUserEventParents(ModelParentsSettings& settings) {
  ModelUserEvent event;
  event.button = BTN_ParentSettingsChanged;
  event.selectedPlaybackFolder = 0;
  event.selectedMainFolder = 0;
  event.parameter = 0;
  event.parentSettings = settings;
  send(event);
}

bool ModelPlayback::incSelectedMainFolder() {
  const size_t size = rootDirList.size();
  if (size == 0 || selectedMainFolder >= size - 1) return false;
  setSelectedMainFolder(selectedMainFolder + 1);
  return true;
}

bool ModelPlayback::decSelectedMainFolder() {
  if (selectedMainFolder == 0) return false;
  setSelectedMainFolder(selectedMainFolder - 1);
  return true;
}

void ModelPlayback::setSelectedMainFolder(uint32_t folder) {
  selectedMainFolder = folder;
  selectedOverviewPage = folder / Model::FOLDERS_PER_PAGE;
}

// ---- Model

Model::Model() : modelListener(nullptr), parentsSettings(), modelPlayback() {
  guiQueuePageSelect = new cpp_freertos::Queue(5, sizeof(PageSelectEvent));
  guiQueueModelUserEvent = new cpp_freertos::Queue(5, sizeof(ModelUserEvent));
}

void Model::tick() {
  if (parentsSettings.changed) {
    if (modelListener != nullptr) modelListener->newParentSettings(parentsSettings);
    parentsSettings.changed = false;
  }

  if (modelPlayback.displayRefresh) {
    modelPlayback.displayRefresh = false;
    const size_t size = rootDirList.size();
    if (size != 0) {
      // A folder left from a longer list (the stick changed) is not read: folder 0 instead.
      if (modelPlayback.selectedMainFolder >= size) modelPlayback.setSelectedMainFolder(0);
      const uint32_t folder = modelPlayback.selectedMainFolder;
      if (modelListener != nullptr) {
        modelListener->newMainFolder(rootDirList[folder], folder != 0, folder != size - 1);
      }
    }
  }

  PageSelectEvent record;
  if (guiQueuePageSelect == nullptr || !guiQueuePageSelect->Dequeue(&record, 0)) return;
  dispatch(record);
}

void Model::dispatch(const PageSelectEvent& record) {
  switch (record.page) {
    case PageMain: modelPlayback.setSelectedMainFolder(inList(record.pageNumber)); break;
    case PageParent: parentsSettings = record.modelParentsSettings; break;
    case PageTraurig:
    case PageGluecklich:
    case PageMainPictureUpdate:
    case PageOverviewPictureUpdate:
    case PagePowerOff: break;
    default: return;  // an unknown page is taken off the queue and ignored
  }
  if (modelListener == nullptr) return;
  switch (record.page) {
    case PageMain: modelListener->forceScreenMain(); break;
    case PageTraurig: modelListener->forceScreenTraurig(); break;
    case PageGluecklich: modelListener->forceScreenGluecklich(); break;
    case PageMainPictureUpdate: modelListener->forceTitlePictureUpdate(); break;
    case PageOverviewPictureUpdate: modelListener->forceOverviewPictureUpdate(); break;
    case PageParent: modelListener->forceScreenParent(); break;
    case PagePowerOff: modelListener->forceScreenPowerOff(); break;
  }
}

// ---- user actions of the main screen

void Model::mainScreenInit() { modelPlayback.transmitModelUserEvent(BTN_Folder_Refresh, 1); }

void Model::refresh() { modelPlayback.displayRefresh = true; }

// The request goes out also at the last (first) folder, with the folder unchanged.
void Model::ordnerVor() {
  if (modelPlayback.incSelectedMainFolder()) modelPlayback.displayRefresh = true;
  modelPlayback.transmitModelUserEvent(BTN_Folder_Forward, 1);
}

void Model::ordnerZurueck() {
  if (modelPlayback.decSelectedMainFolder()) modelPlayback.displayRefresh = true;
  modelPlayback.transmitModelUserEvent(BTN_Folder_Rewind, 1);
}

void Model::trackVor() { modelPlayback.transmitModelUserEvent(BTN_Forward, 1); }

void Model::trackZurueck() { modelPlayback.transmitModelUserEvent(BTN_Rewind, 1); }

void Model::trackPause() { modelPlayback.transmitModelUserEvent(BTN_PlayPause, 1); }

// Folder button n (1..16) asks for playback folder n - 1.
void Model::folderButton(uint8_t n) { modelPlayback.transmitModelUserEvent(BTN_PlaybackFolder, n); }

// ---- user actions of the overview screen (the page travels as its low 8 bits)

void Model::overviewScreenInit() {
  modelPlayback.transmitModelUserEvent(BTN_Overview_Refresh,
                                       static_cast<uint8_t>(modelPlayback.selectedOverviewPage));
}

void Model::overviewButtonBackClicked() {
  if (modelPlayback.selectedOverviewPage > 0) --modelPlayback.selectedOverviewPage;
  modelPlayback.transmitModelUserEvent(BTN_Overview_Back,
                                       static_cast<uint8_t>(modelPlayback.selectedOverviewPage));
}

// One page forward, held on the page of the last root folder (on page 0 without folders).
void Model::overviewButtonForwardClicked() {
  const size_t size = rootDirList.size();
  uint32_t& page = modelPlayback.selectedOverviewPage;
  if (size == 0) {
    page = 0;
  } else {
    ++page;
    if (uint64_t{FOLDERS_PER_PAGE} * page >= size - 1) {
      page = static_cast<uint32_t>((size - 1) / FOLDERS_PER_PAGE);
    }
  }
  modelPlayback.transmitModelUserEvent(BTN_Overview_Forward, static_cast<uint8_t>(page));
}

// A picture of the page chosen: the main screen opens on its root folder through the model's
// own queue, as a screen request of the core would. A slot without a folder does nothing.
void Model::overviewFolderSelected(uint8_t slot) {
  const uint64_t n = uint64_t{FOLDERS_PER_PAGE} * modelPlayback.selectedOverviewPage + slot;
  if (n >= rootDirList.size()) return;
  modelPlayback.setSelectedMainFolder(static_cast<uint32_t>(n));
  PageSelectEvent record;
  record.page = PageMain;
  record.pageNumber = static_cast<uint32_t>(n);
  record.modelParentsSettings.changed = false;
  if (guiQueuePageSelect != nullptr) (void)guiQueuePageSelect->Enqueue(&record, 0);
}

// ---- user actions of the parents' and equaliser screens: each sends the whole record

void Model::newMaxVol(int value) {
  parentsSettings.maxVolume = value;
  modelPlayback.transmitModelUserEventParents(parentsSettings);
}

void Model::newSpkBoost(int value) {
  parentsSettings.spkBoost = value;
  modelPlayback.transmitModelUserEventParents(parentsSettings);
}

void Model::newEffect3d(int value) {
  parentsSettings.effect3d = value;
  modelPlayback.transmitModelUserEventParents(parentsSettings);
}

// Bands 0..4; another band number changes nothing and sends nothing.
void Model::newEqualizerValue(uint8_t band, int value) {
  if (band >= sizeof parentsSettings.equalizer / sizeof parentsSettings.equalizer[0]) return;
  parentsSettings.equalizer[band] = value;
  modelPlayback.transmitModelUserEventParents(parentsSettings);
}

void Model::positionResumeChanged(bool on) {
  parentsSettings.positionResume = on;
  modelPlayback.transmitModelUserEventParents(parentsSettings);
}
