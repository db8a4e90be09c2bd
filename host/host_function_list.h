// The host's 150 exported functions, in the order in which they are bound.
//
// SIMTROVE_HOST_FUNCTIONS(CALLED, OTHER) expands CALLED(name, result, (params))
// for the 28 functions the plug-in calls, with their C signatures, and
// OTHER(name) for the 122 that are bound but never called. Every list, table
// and name string of the host bridge is derived from this one list.
//
// Each called function carries its contract on the line above it. What holds
// for all of them:
// - Texts and records the plug-in passes are its own, NUL-terminated or of the
//   record's fixed size (host/records.h), and valid only during the call.
//   Records are filled whole by "get" calls; the caller allocates them.
// - A path buffer the host fills holds kHostPathCapacity (261) bytes, defined in
//   host/records.h: 260 characters and the NUL.
// - Conditions, predictors and VOIs are addressed by 0-based index. Prompts may
//   hold "<b>" and "<br>" tags or newlines, which the host renders.
// - Arrays the host returns stay the host's and are never freed by the plug-in.
//   The sample array must stay valid until the VTC is saved; a predictor and a
//   VOI's voxels are read within the pass that fetched them.
// - An int result is not used unless the contract says what it means.
#pragma once

// clang-format off
#define SIMTROVE_HOST_FUNCTIONS(CALLED, OTHER) \
    /* Application, log, dialogs, workspace and transformations (23) */ \
    /* writes the host's major, minor and sub-minor version numbers */ \
    CALLED(tvGetVersionOfTavimo, int, (int*, int*, int*)) \
    OTHER(tvGetTavimoPath) \
    OTHER(tvGetPluginsPath) \
    OTHER(tvShowLogPane) \
    /* brings the host's log into view */ \
    CALLED(tvShowLogTab, int, ()) \
    /* appends the line (at most 260 bytes with its NUL) to the host's log */ \
    CALLED(tvLogText, int, (const char*)) \
    /* shows the text in a modal message; returns once the user closed it */ \
    CALLED(tvMessageBox, int, (const char*)) \
    /* asks the question; non-zero for yes, 0 for no */ \
    CALLED(tvYesNoMessageBox, int, (const char*)) \
    /* (prompt, default, min, max) -> number; < 1 = cancel for a count or choice */ \
    CALLED(tvGetIntegerInput, int, (const char*, int, int, int)) \
    OTHER(tvGetFloatInput) \
    OTHER(tvGetTextInput) \
    /* (title, default name, filter, kHostPathCapacity buffer) -> 0 = cancelled, else path */ \
    CALLED(tvGetOpenFileName, int, (const char*, const char*, const char*, char*)) \
    /* as tvGetOpenFileName, for a file to be written */ \
    CALLED(tvGetSaveFileName, int, (const char*, const char*, const char*, char*)) \
    /* redraws the active document window */ \
    CALLED(tvUpdateActiveWindow, int, ()) \
    /* shows the busy cursor until tvStopBusyCursor */ \
    CALLED(tvShowBusyCursor, int, ()) \
    /* ends the busy cursor */ \
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
    /* 0 = no current VMR; else non-zero and its x, y, z sizes in voxels written */ \
    CALLED(tvGetCurrentVMR, int, (int*, int*, int*)) \
    OTHER(tvGetMainHeaderOfCurrentVMR) \
    OTHER(tvSetMainHeaderOfCurrentVMR) \
    OTHER(tvGetScannerPositionHeaderOfCurrentVMR) \
    OTHER(tvSetScannerPositionHeaderOfCurrentVMR) \
    OTHER(tvGetPastTransformationsHeaderOfCurrentVMR) \
    OTHER(tvSetPastTransformationsHeaderOfCurrentVMR) \
    OTHER(tvReframeCurrentVMR) \
    /* writes the cross-hair x, y, z in VMR voxel coordinates */ \
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
    /* (time points, always 0): creates the VTC that the calls below address */ \
    CALLED(tvCreateVTCForCurrentVMR, int, (int, int)) \
    /* fills the whole 848-byte header of that VTC */ \
    CALLED(tvGetHeaderOfVTCOfCurrentVMR, int, (vtc_header*)) \
    /* takes the header back; the file in LinkedProtocolFile becomes the current protocol */ \
    CALLED(tvSetHeaderOfVTCOfCurrentVMR, int, (vtc_header*)) \
    OTHER(tvGetVTCOfCurrentVMR) \
    /* host's sample array, written in place until the VTC is saved; null ends the run */ \
    CALLED(tvGetVTCFloatDataOfCurrentVMR, float*, ()) \
    OTHER(tvGetVTCIntDataOfCurrentVMR) \
    OTHER(tvSetVTCParametersOfCurrentVMR) \
    /* writes the VTC, samples included, to the path (a kHostPathCapacity buffer) */ \
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
    /* fills the 596-byte header of the current protocol */ \
    CALLED(tvGetProtocol, int, (prt_header*)) \
    OTHER(tvSetProtocol) \
    /* (0-based condition, record): fills the 272-byte condition record */ \
    CALLED(tvGetProtocolCondition, int, (int, prtcond_header*)) \
    OTHER(tvAddProtocolCondition) \
    OTHER(tvAddProtocolConditionInterval) \
    /* Design matrix and predictors (12) */ \
    /* empties the host's design matrix */ \
    CALLED(tvClearDesignMatrix, int, ()) \
    /* appends a predictor of that name; predictors count from 0 as added */ \
    CALLED(tvAddPredictor, int, (const char*)) \
    /* (predictor name, 0-based condition, height): fills it from the condition's intervals */ \
    CALLED(tvSetPredictorValuesFromCondition, int, (const char*, int, float)) \
    OTHER(tvSetPredictorValuesFromConditionName) \
    /* convolves the 0-based predictor with the host's two-gamma HRF */ \
    CALLED(tvApplyTwoGammaHRFToPredictor, int, (int)) \
    OTHER(tvApplyTwoGammaHRFToPredictorWithName) \
    OTHER(tvApplyBoyntonHRFToPredictor) \
    OTHER(tvApplyBoyntonHRFToPredictorWithName) \
    /* (0-based) -> host's time course, a float per time point; null if unavailable */ \
    CALLED(tvGetPredictor, float*, (int)) \
    OTHER(tvGetPredictorByName) \
    OTHER(tvLoadSingleStudyGLMDesignMatrix) \
    /* writes the design matrix to the file name */ \
    CALLED(tvSaveSingleStudyGLMDesignMatrix, int, (const char*)) \
    /* VOIs and POIs (8) */ \
    OTHER(tvLoadVOIs) \
    OTHER(tvSaveVOIs) \
    /* fills the 312-byte record of the current VOI set */ \
    CALLED(tvGetVOIs, int, (vois_header*)) \
    /* (0-based VOI, record) -> host's NrOfVoxels x,y,z int triples; null on failure */ \
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
