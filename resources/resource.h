// Every id of the program: menu commands (the three buttons carry the ids of Start, Stop and
// Pause), dialog controls and message texts. Included by the .rc files and by the C++ code, so
// the two can never disagree. Plain #defines: windres reads this file too.
#pragma once

// ---- Menu commands ----
#define IDM_ABOUT                100
#define IDM_MONITOR              101
#define IDM_OPEN                 102
#define IDM_INFO                 103
#define IDM_EXIT                 104
#define IDM_HELP                 105
#define IDM_VIEW_WAVEFORM        106   // the five views in order: IDM_VIEW_WAVEFORM + ViewMode
#define IDM_VIEW_LEVEL_METER     107
#define IDM_VIEW_LINEAR_SPECTRUM 108
#define IDM_VIEW_LOG_SPECTRUM    109
#define IDM_VIEW_CHART           110
#define IDM_EXPORT               111
#define IDM_OPTIONS              200
#define IDM_START                201
#define IDM_STOP                 202
#define IDM_PAUSE                203

// ---- Options dialog ("Option") ----
#define IDC_OPT_TIME_RESOLUTION  101
#define IDC_OPT_TIME_LABEL       102
#define IDC_OPT_FFT_LABEL        103
#define IDC_OPT_FFT_LENGTH       104
#define IDC_OPT_SLOPE_GROUP      105
#define IDC_OPT_WHITE_NOISE      106
#define IDC_OPT_PINK_NOISE       107
#define IDC_OPT_WINDOW_LABEL     108
#define IDC_OPT_WINDOW           109
#define IDC_OPT_SCALE_GROUP      110
#define IDC_OPT_STANDARD_SCALE   111
#define IDC_OPT_DOUBLED_SCALE    112
#define IDC_OPT_ON_MEMORY        114
#define IDC_OPT_MEMORY_SIZE      115
#define IDC_OPT_MEMORY_UNIT      116
#define IDC_OPT_MEMORY_LABEL     117

// ---- Monitor dialog ("RecOpen") ----
#define IDC_MON_RATE_GROUP       105
#define IDC_MON_RATE_44          106
#define IDC_MON_RATE_22          107
#define IDC_MON_RATE_11          108
#define IDC_MON_CHANNEL_GROUP    109
#define IDC_MON_STEREO           110
#define IDC_MON_MONO             111
#define IDC_MON_WIDTH_GROUP      112
#define IDC_MON_16_BIT           113
#define IDC_MON_8_BIT            114
// Monitor dialog: the further rates, 24 bit and the input device.
#define IDC_MON_MORE_RATES_GROUP 600
#define IDC_MON_RATE_8           601
#define IDC_MON_RATE_16          602
#define IDC_MON_RATE_32          603
#define IDC_MON_RATE_48          604
#define IDC_MON_RATE_88          605
#define IDC_MON_RATE_96          606
#define IDC_MON_24_BIT           607
#define IDC_MON_DEVICE_LABEL     608
#define IDC_MON_DEVICE           609

// ---- Wave Information dialog ("InfoBox") ----
#define IDC_INFO_RIFF_ID         101
#define IDC_INFO_RIFF_SIZE       102
#define IDC_INFO_RIFF_TYPE       103
#define IDC_INFO_CHUNK_ID        104
#define IDC_INFO_CHUNK_SIZE      105
#define IDC_INFO_FORMAT_TAG      106
#define IDC_INFO_CHANNELS        107
#define IDC_INFO_RATE            108
#define IDC_INFO_AVG_BYTES       109
#define IDC_INFO_BLOCK_ALIGN     110
#define IDC_INFO_BITS            111
#define IDC_INFO_CB_SIZE         112
#define IDC_INFO_NEXT_ID         113
#define IDC_INFO_NEXT_SIZE       114
#define IDC_INFO_FILE_SIZE       116
#define IDC_INFO_TAG_NAME        117

// ---- Message texts (STRINGTABLE in strings.rc) ----
// The WAV reader's refusals.
#define IDS_NO_FILE_NAME         1001
#define IDS_CANNOT_OPEN_FILE     1002
#define IDS_NOT_WAVE             1003
#define IDS_BROKEN_WAVE          1004
#define IDS_NO_MEMORY            1005
#define IDS_LOCK_FAILED          1006
#define IDS_UNREADABLE_FORMAT    1007
#define IDS_NOT_PCM              1008
#define IDS_UNPLAYABLE           1009
#define IDS_NO_DATA_CHUNK        1010
#define IDS_EMPTY_DATA           1011
#define IDS_CANNOT_OPEN_OUTPUT   1012
#define IDS_UNSUPPORTED_CODEC    1013
#define IDS_NO_CODEC             1014
#define IDS_UNREADABLE_HEADER    1015
#define IDS_DAMAGED_DATA         1016   // said once after a run that skipped damaged data
// Runs.
#define IDS_NO_BLOCK_MEMORY      1020
#define IDS_BLOCK_LOCK_FAILED    1021
#define IDS_READ_FAILED          1022
#define IDS_HEADER_FAILED        1023
#define IDS_WRITE_FAILED         1024
#define IDS_HEADER_ALLOC_FAILED  1025
#define IDS_HEADER_LOCK_FAILED   1026
#define IDS_NO_ANALYSIS_MEMORY   1027
#define IDS_DEVICE_FAILED        1028
// Monitoring.
#define IDS_CANNOT_OPEN_INPUT    1030
#define IDS_QUERY_BAD_DEVICE     1031
#define IDS_QUERY_ALLOCATED      1032
#define IDS_QUERY_NO_DRIVER      1033
#define IDS_QUERY_NO_MEMORY      1034
#define IDS_CANNOT_RECORD        1035
#define IDS_QUERY_SYNC           1036
#define IDS_QUERY_OTHER          1037   // printf format with the result code
// Shell.
#define IDS_NAME_TOO_LONG        1040
#define IDS_ABOUT_TEXT           1041   // printf format with the version
#define IDS_ABOUT_CAPTION        1042
#define IDS_FIELD_OVERFLOW       1043
#define IDS_LAYOUT_FAULT         1044
#define IDS_CANNOT_OPEN_HELP     1045   // printf format with the help page's path
// Exports (the window's File > Export and the batch analyser).
#define IDS_EXPORT_NAME_TOO_LONG  1050
#define IDS_EXPORT_NOT_WRITABLE   1051
#define IDS_EXPORT_DISK_FULL      1052
#define IDS_EXPORT_FAILED         1053
#define IDS_EXPORT_NO_MEMORY      1054
#define IDS_EXPORT_ENCODER_FAILED 1055
#define IDS_EXPORT_NO_SPECTRUM    1056

// Labels, notices, list entries, file-dialog filters and the batch analyser's texts (1100-1199).
#define IDS_PLAY_LABEL            1100
#define IDS_ANALYSE_LABEL         1101
#define IDS_STOP_LABEL            1102
#define IDS_PAUSE_LABEL           1103
#define IDS_CONTINUE_LABEL        1104
#define IDS_MONO_LABEL            1105
#define IDS_LEFT_LABEL            1106
#define IDS_RIGHT_LABEL           1107
#define IDS_LOADING_NOTICE        1108
#define IDS_PLAYING_STEREO_NOTICE 1109
#define IDS_PLAYING_MONO_NOTICE   1110
#define IDS_MONITOR_STEREO_NOTICE 1111
#define IDS_MONITOR_MONO_NOTICE   1112
#define IDS_OPEN_FILTER           1113   // '|' stands for each NUL of the filter
#define IDS_OPEN_TITLE            1114
#define IDS_EXPORT_FILTER         1115   // '|' stands for each NUL of the filter
#define IDS_TIME_RESOLUTION_FIRST 1120   // the five time resolutions, longest first
#define IDS_WINDOW_NAME_FIRST     1130   // the five window types, in the order of WindowType
#define IDS_BATCH_USAGE           1140
#define IDS_BATCH_NO_COMMAND      1141   // printf format with the help option
#define IDS_BATCH_UNKNOWN_COMMAND 1142   // printf format with the command
#define IDS_BATCH_UNKNOWN_OPTION  1143   // printf format with the option
#define IDS_BATCH_NO_VALUE        1144   // printf format with the option
#define IDS_BATCH_BAD_VALUE       1145   // printf format with the option
#define IDS_BATCH_EXTRA_ARGUMENT  1146   // printf format with the argument
#define IDS_BATCH_NO_FILES        1147
#define IDS_BATCH_AT_NOT_SPECTRUM 1148   // printf format with the option
#define IDS_BATCH_AT_BEYOND_END   1149   // printf format with the data's length in seconds
#define IDS_RATE_LINE             1150   // printf format with the rate in kHz
#define IDS_BITS_LINE             1151   // printf format with the sample width
#define IDS_POSITION_LINE         1152   // printf format with kilobytes and seconds
#define IDS_TOTAL_LINE_EMPTY      1153
#define IDS_FREE_LINE             1154   // printf format with kilobytes and seconds
#define IDS_TOTAL_LINE            1155   // printf format with kilobytes and seconds
#define IDS_BATCH_NO_INPUT        1156
#define IDS_BATCH_CSV_NOT_LOUDNESS 1157  // printf format with the option
// Files of every supported type: the bit rate in Wave Information.
#define IDS_INFO_KBPS             1220   // printf format with the bit rate in kbit/s
// The batch analyser's labelled spectrogram and band levels.
#define IDS_SPECTROGRAM_TITLE       1300   // printf format: file, rate, channels, FFT length, window, slope
#define IDS_SPECTROGRAM_HZ          1301
#define IDS_SPECTROGRAM_DB          1302
#define IDS_BATCH_ONLY_FOR          1303   // printf format: option, command
#define IDS_BATCH_RANGE_ABOVE_HALF  1304   // printf format: half the rate in Hz
#define IDS_BATCH_LOG_RANGE         1305
#define IDS_BATCH_USAGE_PICTURES    1306   // the usage's lines of the spectrogram's and bands' options
// Monitor dialog: the input device list.
#define IDS_DEFAULT_INPUT_DEVICE  1250
// The cursor readout in the main window.
#define IDS_READOUT_LABEL         1320
// Loudness measurement (Operation > Loudness, TRILVOC loudness): menu, dialogs and texts.
#define IDM_LOUDNESS                  120
#define IDD_LOUDNESS_PROGRESS         700
#define IDC_LOUDNESS_PROGRESS_BAR     701
#define IDD_LOUDNESS_RESULT           702
#define IDC_LOUDNESS_FIGURES          703
#define IDC_LOUDNESS_COPY             704
#define IDS_LOUDNESS_UNSUPPORTED      1350
#define IDS_LOUDNESS_NO_MEMORY        1351
#define IDS_LOUDNESS_STOPPED          1352
#define IDS_LOUDNESS_INTEGRATED       1353   // the result lines: label, value, unit
#define IDS_LOUDNESS_RANGE            1354
#define IDS_LOUDNESS_MOMENTARY_MAX    1355
#define IDS_LOUDNESS_SHORT_TERM_MAX   1356
#define IDS_LOUDNESS_SAMPLE_PEAK      1357
#define IDS_LOUDNESS_TRUE_PEAK        1358
#define IDS_LOUDNESS_CHANNEL_PEAK     1359   // printf format with the channel number
#define IDS_LOUDNESS_UNIT_LUFS        1360
#define IDS_LOUDNESS_UNIT_LU          1361
#define IDS_LOUDNESS_UNIT_DBFS        1362
#define IDS_LOUDNESS_UNIT_DBTP        1363
#define IDS_LOUDNESS_MINUS_INFINITY   1364
#define IDS_LOUDNESS_LINE             1365   // printf format: label, value, unit
