// The host's 150 exported functions, in the order in which they are bound.
//
// SIMTROVE_HOST_FUNCTIONS(CALLED, OTHER) expands CALLED(name, result, (params))
// for the 28 functions the plug-in calls, with their C signatures, and
// OTHER(name) for the 122 that are bound but never called. Every list, table
// and name string of the host bridge is derived from this one list.
#pragma once

// clang-format off
#define SIMTROVE_HOST_FUNCTIONS(CALLED, OTHER) \
    /* Application, log, dialogs, workspace and transformations (23) */ \
    CALLED(tvGetVersionOfTavimo, int, (int*, int*, int*)) \
    OTHER(tvGetTavimoPath) \
    OTHER(tvGetPluginsPath) \
    OTHER(tvShowLogPane) \
    CALLED(tvShowLogTab, int, ()) \
    CALLED(tvLogText, int, (const char*)) \
    CALLED(tvMessageBox, int, (const char*)) \
    CALLED(tvYesNoMessageBox, int, (const char*)) \
    CALLED(tvGetIntegerInput, int, (const char*, int, int, int)) \
    OTHER(tvGetFloatInput) \
    OTHER(tvGetTextInput) \
    CALLED(tvGetOpenFileName, int, (const char*, const char*, const char*, char*)) \
    CALLED(tvGetSaveFileName, int, (const char*, const char*, const char*, char*)) \
    CALLED(tvUpdateActiveWindow, int, ()) \
    CALLED(tvShowBusyCursor, int, ()) \
    CALLED(tvStopBusyCursor, int, ()) \
    OTHER(tvGetNumberOfDocsInWorkspace) \
    OTHER(tvGetDocumentType) \
    OTHER(tvGetDocumentTypeName) \
    OTHER(tvGetIDOfCurrentDocument) \
    OTHER(tvSetAsCurrentDocument) \
    OTHER(tvCalculateIAMatrix) \
    OTHER(tvGetTRFParametersFromVolumeToolsDlg) \
    /* FMR documents (9) */ \
    OTHER(tvGetHeaderOfCurrentFMR) \
    OTHER(tvSetHeaderOfCurrentFMR) \
    OTHER(tvGetSTCFloatDataOfCurrentFMR) \
    OTHER(tvGetSTCIntDataOfCurrentFMR) \
    OTHER(tvGetSTCDataOfCurrentFMR) \
    OTHER(tvSaveFMR) \
    OTHER(tvSaveFMRAndSTC) \
    OTHER(tvGetScannerPositionHeaderOfCurrentFMR) \
    OTHER(tvSetScannerPositionHeaderOfCurrentFMR) \
    /* DMR documents (8) */ \
    OTHER(tvGetHeaderOfCurrentDMR) \
    OTHER(tvSetHeaderOfCurrentDMR) \
    OTHER(tvGetDWIFloatDataOfCurrentDMR) \
    OTHER(tvGetDWIIntDataOfCurrentDMR) \
    OTHER(tvGetDWIDataOfCurrentDMR) \
    OTHER(tvConvertDWIFormatOfCurrentDMR) \
    OTHER(tvSaveDMR) \
    OTHER(tvSaveDMRAndDWI) \
    /* VMR documents (9) */ \
    CALLED(tvGetCurrentVMR, int, (int*, int*, int*)) \
    OTHER(tvGetMainHeaderOfCurrentVMR) \
    OTHER(tvSetMainHeaderOfCurrentVMR) \
    OTHER(tvGetScannerPositionHeaderOfCurrentVMR) \
    OTHER(tvSetScannerPositionHeaderOfCurrentVMR) \
    OTHER(tvGetPastTransformationsHeaderOfCurrentVMR) \
    OTHER(tvSetPastTransformationsHeaderOfCurrentVMR) \
    OTHER(tvReframeCurrentVMR) \
    CALLED(tvGetCrossPositionOfCurrentVMR, int, (int*, int*, int*)) \
    /* NRVMP maps of the current VMR (8) */ \
    OTHER(tvGetNRVMPsOfCurrentVMR) \
    OTHER(tvGetNRVMPOfCurrentVMR) \
    OTHER(tvSetNRVMPParametersOfCurrentVMR) \
    OTHER(tvLoadNRVMPsToCurrentVMR) \
    OTHER(tvSaveNRVMPsOfCurrentVMR) \
    OTHER(tvCreateNRVMPsForCurrentVMR) \
    OTHER(tvDeleteNRVMPsOfCurrentVMR) \
    OTHER(tvSetNRVMPsParamsDisplayRange) \
    /* ARVMP maps of the current VMR (7) */ \
    OTHER(tvGetARVMPsOfCurrentVMR) \
    OTHER(tvGetARVMPOfCurrentVMR) \
    OTHER(tvSetARVMPParametersOfCurrentVMR) \
    OTHER(tvLoadARVMPsToCurrentVMR) \
    OTHER(tvSaveARVMPsOfCurrentVMR) \
    OTHER(tvCreateARVMPsForCurrentVMR) \
    OTHER(tvDeleteARVMPsOfCurrentVMR) \
    /* VTC of the current VMR (9) */ \
    OTHER(tvLinkVTCToCurrentVMR) \
    CALLED(tvCreateVTCForCurrentVMR, int, (int, int)) \
    CALLED(tvGetHeaderOfVTCOfCurrentVMR, int, (vtc_header*)) \
    CALLED(tvSetHeaderOfVTCOfCurrentVMR, int, (vtc_header*)) \
    OTHER(tvGetVTCOfCurrentVMR) \
    CALLED(tvGetVTCFloatDataOfCurrentVMR, float*, ()) \
    OTHER(tvGetVTCIntDataOfCurrentVMR) \
    OTHER(tvSetVTCParametersOfCurrentVMR) \
    CALLED(tvSaveVTCOfCurrentVMR, int, (const char*)) \
    /* Multi-VTC analysis and voxel time courses (6) */ \
    OTHER(tvClearMultiVTCAnalysis) \
    OTHER(tvAddVTCRefForMultiVTCAnalysis) \
    OTHER(tvGetVoxelTimeCourseOfVTC) \
    OTHER(tvGetVoxelTimeCourseOfVTCs) \
    OTHER(tvGetVoxelCoordsTimeCourseOfVTC) \
    OTHER(tvGetVoxelCoordsTimeCourseOfVTCs) \
    /* GLM, mask and scene (4) */ \
    OTHER(tvGetGLMOfCurrentVMR) \
    OTHER(tvLoadMaskToCurrentVMR) \
    OTHER(tvGetMaskOfCurrentVMR) \
    OTHER(tvGetScene) \
    /* SRF surfaces and their MTC time courses (13) */ \
    OTHER(tvGetCurrentSRF) \
    OTHER(tvReleaseSRFAccess) \
    OTHER(tvSaveCurrentSRF) \
    OTHER(tvSetCurrentSRF) \
    OTHER(tvLinkMTCToCurrentSRF) \
    OTHER(tvGetMTCOfCurrentSRF) \
    OTHER(tvSetMTCParametersOfCurrentSRF) \
    OTHER(tvCreateMTCForCurrentSRF) \
    OTHER(tvSaveMTCOfCurrentSRF) \
    OTHER(tvClearMultiMTCRefsOfCurrentSRF) \
    OTHER(tvAddMultiMTCRefToCurrentSRF) \
    OTHER(tvGetVertexTimeCourseOfMTC) \
    OTHER(tvGetVertexTimeCourseOfAllMTCs) \
    /* SMP surface maps (8) */ \
    OTHER(tvGetSMPsOfCurrentSRF) \
    OTHER(tvGetSMPOfCurrentSRF) \
    OTHER(tvSetSMPParametersOfCurrentSRF) \
    OTHER(tvLoadSMPsToCurrentSRF) \
    OTHER(tvSaveSMPsOfCurrentSRF) \
    OTHER(tvCreateSMPForCurrentSRF) \
    OTHER(tvDeleteSMPsOfCurrentSRF) \
    OTHER(tvOverlaySMPsOnSRF) \
    /* SSM surface-to-surface mappings (5) */ \
    OTHER(tvGetSSMOfCurrentSRF) \
    OTHER(tvLoadSSMToCurrentSRF) \
    OTHER(tvSaveSSMOfCurrentSRF) \
    OTHER(tvCreateSSMForCurrentSRF) \
    OTHER(tvDeleteSSMOfCurrentSRF) \
    /* Protocol (8) */ \
    OTHER(tvClearProtocol) \
    OTHER(tvLoadProtocol) \
    OTHER(tvSaveProtocol) \
    CALLED(tvGetProtocol, int, (prt_header*)) \
    OTHER(tvSetProtocol) \
    CALLED(tvGetProtocolCondition, int, (int, prtcond_header*)) \
    OTHER(tvAddProtocolCondition) \
    OTHER(tvAddProtocolConditionInterval) \
    /* Design matrix and predictors (12) */ \
    CALLED(tvClearDesignMatrix, int, ()) \
    CALLED(tvAddPredictor, int, (const char*)) \
    CALLED(tvSetPredictorValuesFromCondition, int, (const char*, int, float)) \
    OTHER(tvSetPredictorValuesFromConditionName) \
    CALLED(tvApplyTwoGammaHRFToPredictor, int, (int)) \
    OTHER(tvApplyTwoGammaHRFToPredictorWithName) \
    OTHER(tvApplyBoyntonHRFToPredictor) \
    OTHER(tvApplyBoyntonHRFToPredictorWithName) \
    CALLED(tvGetPredictor, float*, (int)) \
    OTHER(tvGetPredictorByName) \
    OTHER(tvLoadSingleStudyGLMDesignMatrix) \
    CALLED(tvSaveSingleStudyGLMDesignMatrix, int, (const char*)) \
    /* VOIs and POIs (8) */ \
    OTHER(tvLoadVOIs) \
    OTHER(tvSaveVOIs) \
    CALLED(tvGetVOIs, int, (vois_header*)) \
    CALLED(tvGetVOI, int*, (int, voi_header*)) \
    OTHER(tvLoadPOIs) \
    OTHER(tvSavePOIs) \
    OTHER(tvGetPOIs) \
    OTHER(tvGetPOI) \
    /* Named parameters (6) */ \
    OTHER(tvGetStringParameter) \
    OTHER(tvGetIntParameter) \
    OTHER(tvGetFloatParameter) \
    OTHER(tvSetStringParameter) \
    OTHER(tvSetIntParameter) \
    OTHER(tvSetFloatParameter) \
    /* Dialog parameters (6) */ \
    OTHER(tvGetDlgStringParameter) \
    OTHER(tvGetDlgIntegerParameter) \
    OTHER(tvGetDlgFloatParameter) \
    OTHER(tvSetDlgStringOutputParameter) \
    OTHER(tvSetDlgIntegerOutputParameter) \
    OTHER(tvSetDlgFloatOutputParameter) \
    /* ICA dialog (1) */ \
    OTHER(tvLaunchICADialog)
// clang-format on

#define SIMTROVE_HOST_FUNCTION_COUNT 150
#define SIMTROVE_CALLED_HOST_FUNCTION_COUNT 28
