#include "gui/model/Model.hpp"

#include "gui/model/ModelListener.hpp"

cpp_freertos::Queue* guiQueuePageSelect = nullptr;
cpp_freertos::Queue* guiQueueModelUserEvent = nullptr;

// The root folders of the stick; rebuilt by the main loop, read by the screens.
std::vector<DirEntry, FreeRtosAllocator_namespace::FreeRtosAllocator<DirEntry>> rootDirList;

Model::Model() {
  guiQueuePageSelect = new cpp_freertos::Queue(5, sizeof(PageSelectEvent));
  guiQueueModelUserEvent = new cpp_freertos::Queue(5, sizeof(ModelUserEvent));
}

void Model::tick() {
  PageSelectEvent record;
  if (!guiQueuePageSelect->Dequeue(&record, 0)) return;
  if (record.page > PagePowerOff) return;  // an unknown page is taken and ignored
  if (record.page == PageMain) {
    selectedMainFolder = record.pageNumber;
    selectedOverviewPage = record.pageNumber / 6;
  } else if (record.page == PageParent) {
    parentsSettings = record.modelParentsSettings;
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
