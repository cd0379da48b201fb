#pragma once
// Every text the program shows, in one place; the tests check the program
// against these. Sources are UTF-8; the compiler turns the Korean texts into
// CP949 bytes. Texts with %s and %d are wsprintfA formats.

// The caption of every window and message box that has one of its own.
inline constexpr char TEXT_CAPTION[] = "MP3 Sorvane";

// The launcher.
inline constexpr char TEXT_LAUNCHER_INFO[] = "MP3 Sorvane\r\n흩어져있는 mp3 파일들을 한곳으로 모으는 프로그램입니다.";

// The work window.
inline constexpr char TEXT_OPENING[] =
    "100% 무료 MP3 Sorvane 입니다\r\n"
    "하위 작업시작 버튼을 클릭하지 않은 경우에는 기본설정으로 복사가 이루어 지게 됩니다.\r\n"
    "mp3파일이 존재하는 경로를 설정한 후에 mp3파일의 태그를 수정하실 수 있습니다.";
inline constexpr char TEXT_PATHS_FORMAT[] = "mp3 가 존재하는 경로 : %s\r\n이동 및 복사를 할 경로 : %s";
inline constexpr char TEXT_SOURCE_PROMPT[] = "mp3 파일이 존재하는 경로를 지정하여 주십시오";
inline constexpr char TEXT_DEST_PROMPT[] = "mp3파일을 복사 또는 옮길 경로를 지정하여 주십시오";
inline constexpr char TEXT_ASK_ADD_TO_LIST[] = "목록에 추가하시겠습니까?";
inline constexpr char TEXT_ASK_END_JOB[] = "작업을 종료 하시겠습니까?";
inline constexpr char TEXT_JOB_DONE[] = "작업완료";
inline constexpr char TEXT_JOB_CANCELLED[] = "작업취소";
inline constexpr char TEXT_SAVE_FAILED_FORMAT[] = "태그를 저장하지 못했습니다.\r\n파일 : %s";
// The tag dialog's save button while the file is written.
inline constexpr char TEXT_SAVING[] = "저장 중...";
inline constexpr char TEXT_PROGRESS_FORMAT[] = "%d %%";
// The font of the file list, and the captions of its columns.
inline constexpr char TEXT_LIST_FONT[] = "굴림";
inline constexpr char TEXT_COLUMN_NUMBER[] = "번호";
inline constexpr char TEXT_COLUMN_PATH[] = "파일경로";
inline constexpr char TEXT_COLUMN_ARTIST[] = "가수";
inline constexpr char TEXT_COLUMN_ALBUM[] = "앨범";
inline constexpr char TEXT_COLUMN_TRACK[] = "트랙";
inline constexpr char TEXT_COLUMN_TITLE[] = "제목";
inline constexpr char TEXT_COLUMN_GENRE[] = "장르";
inline constexpr char TEXT_COLUMN_YEAR[] = "연도";
inline constexpr char TEXT_COLUMN_COMMENT[] = "Comment";

// The scan.
inline constexpr char TEXT_SOURCE_TITLE[] = "mp3 파일이나 폴더 가 있는 곳을 선택하여 주세요";
inline constexpr char TEXT_SOURCE_CHOSEN_FORMAT[] = "경로 : [%s] 를 선택하였습니다.";
inline constexpr char TEXT_SCAN_REPORT_FORMAT[] =
    "파일 조회 완료 : [%s]\r\n파일 총 갯수 : %d 개\r\n가수와 제목 태그가 없을 경우 작업 진행이 안됩니다.\r\n"
    "필히 설정해주시길 바랍니다.";
inline constexpr char TEXT_FOLDER_FORMAT[] = "디렉토리 : [%s]";
inline constexpr char TEXT_PATH_TOO_LONG_FORMAT[] = "전체경로가 너무 깁니다.\r\n경로 : %s";
inline constexpr char TEXT_ANALYSING_FORMAT[] = "파일 분석 중 : [%s]";
inline constexpr char TEXT_FINGERPRINTING_FORMAT[] = "파일 식별 값 선정 중 : [%s]";
inline constexpr char TEXT_LISTED_FORMAT[] = "파일 넣기 완료 : [%s]";

// The organise pass. Its texts start with the opening text (the first %s).
inline constexpr char TEXT_CONFIRM_ORGANISE[] = "원본 파일을 복사 또는 이동 시키겠습니까?";
inline constexpr char TEXT_DEST_TITLE[] = "복사 또는 이동시킬 폴더를 선택하여 주세요";
inline constexpr char TEXT_COPYING_FORMAT[] = "%s\r\n[%s] 에서\r\n[%s] 으로 복사 중입니다.";
inline constexpr char TEXT_MOVING_FORMAT[] = "%s\r\n[%s] 에서\r\n[%s] 으로 이동 중입니다.";
inline constexpr char TEXT_COPIED_FORMAT[] = "%s\r\n[%s] 에서\r\n[%s] 으로 복사 완료 하였습니다.";
inline constexpr char TEXT_MOVED_FORMAT[] = "%s\r\n[%s] 에서\r\n[%s] 으로 이동 하였습니다.";
inline constexpr char TEXT_SUMMARY_FORMAT[] =
    "%s\r\n작업완료\r\n총 파일 수 : %d 개, 성공 : %d 개, 중복파일 : %d개, 실패 : %d 개";

// The tip of a row the last pass did not transfer: what became of its song,
// one sentence; %s names the file that holds its name, or the folder that
// could not be made. The first row that stayed behind adds the hint.
inline constexpr char TEXT_TIP_DUPLICATE[] = "같은 노래가 이미 대상 폴더에 있어 원래 자리에 두었습니다.";
inline constexpr char TEXT_TIP_NOT_REACHED[] = "작업이 중지되어 이 파일은 처리하지 못했습니다.";
inline constexpr char TEXT_TIP_NO_ARTIST[] = "가수 태그가 없어 정리하지 못했습니다.";
inline constexpr char TEXT_TIP_NO_ALBUM[] = "앨범 태그가 없어 정리하지 못했습니다.";
inline constexpr char TEXT_TIP_NAME_TAKEN_FORMAT[] = "같은 이름의 다른 파일이 이미 있어 정리하지 못했습니다 : %s";
inline constexpr char TEXT_TIP_NO_FOLDER_FORMAT[] = "폴더를 만들 수 없어 정리하지 못했습니다 : %s";
inline constexpr char TEXT_TIP_PATH_TOO_LONG[] = "대상 경로가 너무 길어 정리하지 못했습니다.";
inline constexpr char TEXT_TIP_UNREACHABLE_NAME[] = "다른 프로그램이 열 수 없는 파일 이름이라 정리하지 못했습니다.";
inline constexpr char TEXT_TIP_NO_DESTINATION[] = "복사 또는 이동할 폴더가 정해지지 않아 정리하지 못했습니다.";
inline constexpr char TEXT_TIP_SOURCE_GONE[] = "목록에 넣은 뒤 파일이 없어져 정리하지 못했습니다.";
inline constexpr char TEXT_TIP_SOURCE_IN_USE[] = "다른 프로그램이 파일을 사용 중이라 정리하지 못했습니다.";
inline constexpr char TEXT_TIP_SOURCE_UNREADABLE[] = "파일을 읽을 수 없어 정리하지 못했습니다.";
inline constexpr char TEXT_TIP_DISK_FULL[] = "대상 디스크에 빈 공간이 없어 정리하지 못했습니다.";
inline constexpr char TEXT_TIP_TARGET_REFUSED[] = "대상 폴더에 파일을 쓸 수 없어 정리하지 못했습니다.";
inline constexpr char TEXT_TIP_SOURCE_KEPT[] = "원본 파일을 옮기거나 지울 수 없어 그대로 두었습니다.";
inline constexpr char TEXT_TIP_OTHER[] = "알 수 없는 오류로 정리하지 못했습니다.";
inline constexpr char TEXT_TIP_NEXT_HINT[] = " (F8: 다음 실패 파일, Shift+F8: 이전 실패 파일)";

// What an entry shows for an empty tag field; written back as empty.
inline constexpr char PLACEHOLDER_ARTIST[] = "no artist";
inline constexpr char PLACEHOLDER_ALBUM[] = "no album";
inline constexpr char PLACEHOLDER_TITLE[] = "no title";
inline constexpr char PLACEHOLDER_GENRE[] = "no genre";
inline constexpr char PLACEHOLDER_COMMENT[] = "no comment";
inline constexpr char PLACEHOLDER_YEAR[] = "no year";

// The update notice: its caption with the running version, and the link
// that names the new one (the link control's markup around it).
inline constexpr char TEXT_UPDATE_CAPTION_FORMAT[] = "알림 - v%s";
inline constexpr char TEXT_UPDATE_VERSION_LINK_FORMAT[] = "<a>v%s</a>";
