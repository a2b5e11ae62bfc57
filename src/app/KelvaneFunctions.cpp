#include "app/KelvaneFunctions.h"

void GatherInformation(TObjectList<TKelvaneData>&, bool& AConnected) {
  AConnected = false;
}
