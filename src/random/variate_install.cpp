// Installs the forty variate operations in the procedure's random record.
#include "random/variate_operations.h"

void zrand_install_variates(MERSENNE_RAND* q) {
  q->GetOneVariateBERNOULLI = &GetOneVariateBERNOULLI;
  q->GetOneVariateBETA = &GetOneVariateBETA;
  q->GetOneVariateBINOMIAL = &GetOneVariateBINOMIAL;
  q->GetOneVariateCAUCHY = &GetOneVariateCAUCHY;
  q->GetOneVariateCHISQUARE = &GetOneVariateCHISQUARE;
  q->GetOneVariateERLANG = &GetOneVariateERLANG;
  q->GetOneVariateEXPONENTIAL = &GetOneVariateEXPONENTIAL;
  q->GetOneVariateF = &GetOneVariateF;
  q->GetOneVariateGAMMA = &GetOneVariateGAMMA;
  q->GetOneVariateGEOMETRIC = &GetOneVariateGEOMETRIC;
  q->GetOneVariateHYPERGEOMETRIC = &GetOneVariateHYPERGEOMETRIC;
  q->GetOneVariateLOGNORMAL = &GetOneVariateLOGNORMAL;
  q->GetOneVariateNEGBINOMIAL = &GetOneVariateNEGBINOMIAL;
  q->GetOneVariateNORMAL = &GetOneVariateNORMAL;
  q->GetOneVariatePOISSON = &GetOneVariatePOISSON;
  q->GetOneVariateTABLE = &GetOneVariateTABLE;
  q->GetOneVariateT = &GetOneVariateT;
  q->GetOneVariateTRIANGLE = &GetOneVariateTRIANGLE;
  q->GetOneVariateUNIFORM = &GetOneVariateUNIFORM;
  q->GetOneVariateWEIBULL = &GetOneVariateWEIBULL;

  q->FillTheBufferBERNOULLI = &FillTheBufferBERNOULLI;
  q->FillTheBufferBETA = &FillTheBufferBETA;
  q->FillTheBufferBINOMIAL = &FillTheBufferBINOMIAL;
  q->FillTheBufferCAUCHY = &FillTheBufferCAUCHY;
  q->FillTheBufferCHISQUARE = &FillTheBufferCHISQUARE;
  q->FillTheBufferERLANG = &FillTheBufferERLANG;
  q->FillTheBufferEXPONENTIAL = &FillTheBufferEXPONENTIAL;
  q->FillTheBufferF = &FillTheBufferF;
  q->FillTheBufferGAMMA = &FillTheBufferGAMMA;
  q->FillTheBufferGEOMETRIC = &FillTheBufferGEOMETRIC;
  q->FillTheBufferHYPERGEOMETRIC = &FillTheBufferHYPERGEOMETRIC;
  q->FillTheBufferLOGNORMAL = &FillTheBufferLOGNORMAL;
  q->FillTheBufferNEGBINOMIAL = &FillTheBufferNEGBINOMIAL;
  q->FillTheBufferNORMAL = &FillTheBufferNORMAL;
  q->FillTheBufferPOISSON = &FillTheBufferPOISSON;
  q->FillTheBufferTABLE = &FillTheBufferTABLE;
  q->FillTheBufferT = &FillTheBufferT;
  q->FillTheBufferTRIANGLE = &FillTheBufferTRIANGLE;
  q->FillTheBufferUNIFORM = &FillTheBufferUNIFORM;
  q->FillTheBufferWEIBULL = &FillTheBufferWEIBULL;
}
