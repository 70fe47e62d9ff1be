#include "gui/model/Model.hpp"

#include "gui/model/ModelListener.hpp"

cpp_freertos::Queue* guiQueuePageSelect = nullptr;
cpp_freertos::Queue* guiQueueModelUserEvent = nullptr;
std::vector<DirEntry, FreeRtosAllocator_namespace::FreeRtosAllocator<DirEntry>> rootDirList;

Model::Model() {
  guiQueuePageSelect = new cpp_freertos::Queue(5, sizeof(PageSelectEvent));
  guiQueueModelUserEvent = new cpp_freertos::Queue(5, sizeof(ModelUserEvent));
}

void Model::tick() {
  PageSelectEvent record;
  if (!guiQueuePageSelect->Dequeue(&record, 0)) return;
  if (record.page > PagePowerOff || modelListener == nullptr) return;
  switch (record.page) {
    case PageMain: modelListener->forceScreenMain(); break;
    case PageTraurig: modelListener->forceScreenTraurig(); break;
    case PageGluecklich: modelListener->forceScreenGluecklich(); break;
    case PageMainPictureUpdate: modelListener->forceTitlePictureUpdate(); break;
    case PageOverviewPictureUpdate: modelListener->forceOverviewPictureUpdate(); break;
    case PageParent:
      parentsSettings = record.modelParentsSettings;
      modelListener->forceScreenParent();
      break;
    case PagePowerOff: modelListener->forceScreenPowerOff(); break;
  }
}
