#include "edf/uDataFileErrors.h"

EDataFile ErrNoFileName() { return EDataFile(SNoFileName); }
EDataFileIsCreating ErrBusyCreating() { return EDataFileIsCreating(SBusyCreating); }
EDataFileIsOpen ErrDataFileIsOpen() { return EDataFileIsOpen(SDataFileIsOpen); }
EDataFileReadOnly ErrFileReadOnly() { return EDataFileReadOnly(SFileReadOnly); }
EDataFileReadData ErrReadingData() { return EDataFileReadData(SErrorReadingData); }
EDataFileExists ErrDataFileExists() { return EDataFileExists(SDataFileExists); }
EDataFileDataExists ErrDataFileDataExists() { return EDataFileDataExists(SDataFileDataExists); }
EDataFileFieldValue ErrInvalidFieldValues() { return EDataFileFieldValue(SInvalidFieldValues); }
EDataFileHeaderInvalid ErrInvalidHeader() { return EDataFileHeaderInvalid(SInvalidHeader); }
