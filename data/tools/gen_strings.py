#!/usr/bin/env python3
"""Generates data/String.xml, the user-interface texts of every language.

Each row below is one string key with its text in the six shipped languages,
in the column order of LOCALES. Run this script after editing a row and commit
both the script and the regenerated String.xml:

    python3 data/tools/gen_strings.py            # writes data/String.xml
    python3 data/tools/gen_strings.py --stdout   # prints it instead

Texts that the program joins with numbers or other texts keep their spaces
at the start or end on purpose (for example "/MainWindow/Recording", which is
followed directly by the elapsed time, and the scan progress pieces).
"""

import os
import re
import sys
from xml.sax.saxutils import escape

# (LCID, column name), in the order the Locale elements appear in the file;
# the language list of the setting pages follows this order.
LOCALES = [
    (1033, "en"),     # English (United States)
    (1041, "ja"),     # Japanese
    (1046, "pt"),     # Portuguese (Brazil)
    (1034, "es"),     # Spanish
    (2052, "zh_cn"),  # Chinese, simplified script
    (1028, "zh_tw"),  # Chinese, traditional script
]

ROWS = []  # (key, (en, ja, pt, es, zh_cn, zh_tw))


def t(key, en, ja, pt, es, cn, tw):
    ROWS.append((key, (en, ja, pt, es, cn, tw)))


def group(prefix, rows):
    for name, *texts in rows:
        t(prefix + name, *texts)


# Words many dialogs share.
OK = ("OK", "OK", "OK", "Aceptar", "确定", "確定")
CANCEL = ("Cancel", "キャンセル", "Cancelar", "Cancelar", "取消", "取消")
CLEAR = ("Clear", "クリア", "Limpar", "Borrar", "清除", "清除")
CLOSE = ("Close", "閉じる", "Fechar", "Cerrar", "关闭", "關閉")
STOP = ("Stop", "停止", "Parar", "Detener", "停止", "停止")
PLAY = ("Play", "再生", "Reproduzir", "Reproducir", "播放", "播放")
OPEN = ("Open", "開く", "Abrir", "Abrir", "打开", "開啟")
BROWSE = ("Browse...", "参照...", "Procurar...", "Examinar...", "浏览...", "瀏覽...")
FOLDER = ("Folder", "フォルダー", "Pasta", "Carpeta", "文件夹", "資料夾")
SAVE_TO = ("Save to:", "保存先：", "Salvar em:", "Guardar en:", "保存到：", "儲存至：")
FORMAT = ("Format", "形式", "Formato", "Formato", "格式", "格式")
LEFT = ("Left", "左", "Esquerdo", "Izquierdo", "左声道", "左聲道")
RIGHT = ("Right", "右", "Direito", "Derecho", "右声道", "右聲道")
STEREO = ("Stereo", "ステレオ", "Estéreo", "Estéreo", "立体声", "立體聲")
AUDIO_CHANNEL = ("Audio channel", "音声チャンネル", "Canal de áudio", "Canal de audio", "声道", "聲道")
AUDIO_TRACK = ("Audio track", "音声切替", "Faixa de áudio", "Pista de audio", "音轨", "音軌")
ABOUT = ("About", "バージョン情報", "Sobre", "Acerca de", "关于", "關於")
AUDIO = ("Audio", "音声", "Áudio", "Audio", "音频", "音訊")
GENERAL = ("General", "一般", "Geral", "General", "常规", "一般")
RESET = ("Reset", "リセット", "Redefinir", "Restablecer", "重置", "重設")
SNAPSHOT = ("Snapshot", "スナップショット", "Captura", "Captura", "截图", "擷取畫面")
TIME_SHIFT = ("Time shift", "タイムシフト", "Time-shift", "Time-shift", "时移", "時移")
PARENTAL = ("Parental control", "視聴制限", "Controle dos pais", "Control parental", "家长控制", "家長監護")
ALL_REGIONS = ("All regions", "全地域", "Todas as regiões", "Todas las regiones", "全部地区", "全部地區")
# Column of the scanned-channel lists that shows each channel's name.
STATION = ("Station", "放送局", "Emissora", "Emisora", "节目", "節目")
PROGRAM_GUIDE = ("Program guide", "番組表", "Guia de programação", "Guía de programación", "节目指南", "節目指南")
CANCEL_SKIP = ("Cancel: do not scan now", "キャンセル：今はスキャンしない", "Cancelar: não buscar agora",
               "Cancelar: no buscar ahora", "取消：暂不搜索", "取消：暫不搜尋")

# ---- dialogs of the main window ----------------------------------------

group("/CAErrorDlg/", [
    ("CADeviceNotMatched", "The CA card does not match this device.", "CAカードがこの機器と一致しません。",
     "O cartão CA não corresponde a este aparelho.", "La tarjeta CA no corresponde a este equipo.",
     "CA卡与本设备不匹配。", "CA卡與本裝置不符。"),
    ("Forbidded", "Viewing this channel is not permitted.", "このチャンネルは視聴できません。",
     "Não é permitido assistir a este canal.", "No se permite ver este canal.",
     "禁止收看此频道。", "禁止收看此頻道。"),
    ("HardwareError", "CA card hardware error.", "CAカードのハードウェアエラーです。",
     "Erro de hardware do cartão CA.", "Error de hardware de la tarjeta CA.",
     "CA卡硬件错误。", "CA卡硬體錯誤。"),
    ("NoAuthorization", "Your card is not authorized for this channel.", "このチャンネルの視聴契約がありません。",
     "Seu cartão não tem autorização para este canal.", "Su tarjeta no está autorizada para este canal.",
     "您的卡未获得此频道的授权。", "您的卡未獲此頻道的授權。"),
    ("OK", *OK),
    ("Title", "CA Error", "CAエラー", "Erro de CA", "Error de CA", "CA错误", "CA錯誤"),
    ("UnknownError", "Unknown CA error.", "不明なCAエラーです。", "Erro de CA desconhecido.",
     "Error de CA desconocido.", "未知的CA错误。", "未知的CA錯誤。"),
])

group("/ConfirmDlg/", [("Cancel", *CANCEL), ("OK", *OK)])

group("/ContentBlockDlg/", [
    ("Blocked", "This program is blocked by parental control.", "この番組は視聴制限によりブロックされています。",
     "Este programa está bloqueado pelo controle dos pais.", "Este programa está bloqueado por el control parental.",
     "此节目已被家长控制锁定。", "此節目已被家長監護鎖定。"),
    ("OK", *OK),
    ("Title", *PARENTAL),
])

# "%s : %s" style joins: the alarm message is title + " " + AffectedArea + ":"
# followed by the area names, so AffectedArea carries no colon of its own.
group("/EmergencyAlarmDlg/", [
    ("AffectedArea", "Affected areas", "対象地域", "Áreas afetadas", "Zonas afectadas", "影响地区", "影響地區"),
    ("EarthQuake", "Earthquake alert", "地震警報", "Alerta de terremoto", "Alerta de terremoto", "地震警报", "地震警報"),
    ("LocalArea", "Local area", "地域共通", "Área local", "Zona local", "本地区域", "本地區域"),
    ("OK", *OK),
    ("Tsunami", "Tsunami alert", "津波警報", "Alerta de tsunami", "Alerta de tsunami", "海啸警报", "海嘯警報"),
])

group("/MainWindow/", [
    ("AudioLanguage", "Audio language", "音声切替", "Idioma do áudio", "Idioma del audio", "音频语言", "音訊語言"),
    ("BrowserNotFound", "No web browser is installed to show the help.", "ヘルプを表示するブラウザーがありません。",
     "Nenhum navegador instalado para exibir a ajuda.", "No hay ningún navegador para mostrar la ayuda.",
     "未安装可显示帮助的浏览器。", "未安裝可顯示說明的瀏覽器。"),
    ("Close", *CLOSE),
    ("FullScreen", "Full screen", "全画面", "Tela cheia", "Pantalla completa", "全屏", "全螢幕"),
    ("HelpFileNotFound", "The help file was not found.", "ヘルプファイルが見つかりません。",
     "Arquivo de ajuda não encontrado.", "No se encontró el archivo de ayuda.", "找不到帮助文件。", "找不到說明檔案。"),
    ("Minimize", "Minimize", "最小化", "Minimizar", "Minimizar", "最小化", "最小化"),
    ("NoChannel", "No channels", "チャンネルがありません", "Nenhum canal", "No hay canales", "没有频道", "沒有頻道"),
    ("NoSource", "No tuner found", "チューナーがありません", "Nenhum sintonizador", "No hay sintonizador",
     "未找到调谐器", "找不到調諧器"),
    ("OneXSize", "Normal size", "標準サイズ", "Tamanho normal", "Tamaño normal", "正常大小", "正常大小"),
    # Followed directly by the elapsed time "hh:mm:ss".
    ("Recording", "Recording ", "録画中 ", "Gravando ", "Grabando ", "录像中 ", "錄影中 "),
    # Followed by up to three dots while the search goes on.
    ("SearchSignal", "Searching for signal", "電波を探しています", "Procurando sinal", "Buscando señal",
     "正在搜索信号", "正在搜尋訊號"),
    ("Subtitle", "Subtitles", "字幕", "Legendas", "Subtítulos", "字幕", "字幕"),
    ("TTX", "Teletext", "文字放送", "Teletexto", "Teletexto", "图文电视", "圖文電視"),
    ("TimeShifting", "Time shifting", "タイムシフト中", "Time-shift ativo", "Time-shift activo", "时移中", "時移中"),
    ("TwoXSize", "Double size", "2倍サイズ", "Tamanho duplo", "Tamaño doble", "双倍大小", "雙倍大小"),
])

# Asked when the program being recorded moves to another channel.
group("/MainWindow/Record/", [
    ("Cancel", *CANCEL),
    ("Hint", "The program continues on another channel. Switch and keep recording?",
     "番組が別のチャンネルに移りました。切り替えて録画を続けますか？",
     "O programa continua em outro canal. Mudar de canal e continuar gravando?",
     "El programa continúa en otro canal. ¿Cambiar de canal y seguir grabando?",
     "节目已转到其他频道。是否切换并继续录像？", "節目已轉到其他頻道。是否切換並繼續錄影？"),
    ("OK", "Switch", "切り替える", "Mudar", "Cambiar", "切换", "切換"),
])

# A separate group: the name differs from "/MainWindow/" in one letter's case.
group("/Mainwindow/", [
    ("FatalAudioDecoder", "The audio decoder failed.", "音声デコーダーでエラーが発生しました。",
     "Falha no decodificador de áudio.", "Error en el decodificador de audio.", "音频解码器出错。", "音訊解碼器發生錯誤。"),
    ("FatalVideoDecoder", "The video decoder failed.", "映像デコーダーでエラーが発生しました。",
     "Falha no decodificador de vídeo.", "Error en el decodificador de vídeo.", "视频解码器出错。", "視訊解碼器發生錯誤。"),
    ("FileNotSupport", "This file format is not supported.", "このファイル形式には対応していません。",
     "Formato de arquivo não suportado.", "Formato de archivo no compatible.", "不支持此文件格式。", "不支援此檔案格式。"),
    ("NoSDCard", "No SD card. Please insert one.", "SDカードが入っていません。", "Nenhum cartão SD inserido.",
     "No hay ninguna tarjeta SD.", "未插入SD卡。", "未插入SD卡。"),
])

# The question is the lines NoChannels, OKToStartScan and CancelToExit.
group("/NoChannelDlg/", [
    ("CancelToExit", *CANCEL_SKIP),
    ("NoChannels", "No channels have been found yet.", "チャンネルが登録されていません。",
     "Nenhum canal foi encontrado ainda.", "Todavía no se ha encontrado ningún canal.", "还没有频道。", "還沒有頻道。"),
    ("OKToStartScan", "OK: scan for channels", "OK：チャンネルをスキャンする", "OK: buscar canais",
     "Aceptar: buscar canales", "确定：搜索频道", "確定：搜尋頻道"),
    ("Title", "No channels", "チャンネルなし", "Sem canais", "Sin canales", "无频道", "無頻道"),
])

# The message is CannotOpenFile + " " + the file name.
group("/OpenFileErrorDlg/", [
    ("CannotOpenFile", "Cannot open the file:", "ファイルを開けません：", "Não foi possível abrir o arquivo:",
     "No se puede abrir el archivo:", "无法打开文件：", "無法開啟檔案："),
    ("OK", *OK),
    ("Title", "File error", "ファイルエラー", "Erro de arquivo", "Error de archivo", "文件错误", "檔案錯誤"),
])

group("/RecordErrorDlg/", [
    ("DirectoryNotExist", "The recording folder does not exist.", "録画フォルダーがありません。",
     "A pasta de gravação não existe.", "La carpeta de grabación no existe.", "录像文件夹不存在。", "錄影資料夾不存在。"),
    ("Error", "Recording failed.", "録画できませんでした。", "Falha na gravação.", "No se pudo grabar.",
     "录像失败。", "錄影失敗。"),
    ("OK", *OK),
    ("Title", "Recording error", "録画エラー", "Erro de gravação", "Error de grabación", "录像错误", "錄影錯誤"),
])

# DiskSizeLimit: the card has too little free space; FileSizeLimit: the space
# allowed for recordings (or for one recording) is used up.
group("/RecordLimitExceedDialog/", [
    ("DiskSizeLimit", "Not enough free space on the storage card.", "SDカードの空き容量が不足しています。",
     "Espaço livre insuficiente no cartão.", "No hay espacio libre suficiente en la tarjeta.",
     "存储卡空间不足。", "記憶卡空間不足。"),
    ("FileSizeLimit", "The recording size limit has been reached.", "録画容量の上限に達しました。",
     "O limite de tamanho da gravação foi atingido.", "Se ha alcanzado el límite de tamaño de grabación.",
     "已达到录像容量上限。", "已達到錄影容量上限。"),
    ("Info", "Information", "お知らせ", "Informação", "Información", "提示", "提示"),
    ("OK", *OK),
])

t("/ResolutionErrorDialog", "This video resolution is not supported.", "この映像の解像度には対応していません。",
  "Resolução de vídeo não suportada.", "Resolución de vídeo no compatible.", "不支持此视频分辨率。", "不支援此視訊解析度。")

group("/SnapShotErrorDlg/", [
    ("DirectoryNotExist", "The snapshot folder does not exist.", "スナップショットの保存フォルダーがありません。",
     "A pasta de capturas não existe.", "La carpeta de capturas no existe.", "截图文件夹不存在。", "擷取畫面資料夾不存在。"),
    ("Error", "The snapshot could not be saved.", "スナップショットを保存できませんでした。",
     "Não foi possível salvar a captura.", "No se pudo guardar la captura.", "无法保存截图。", "無法儲存擷取畫面。"),
    ("NoSpaceError", "Not enough free space to save the snapshot.", "空き容量が不足しています。",
     "Espaço livre insuficiente para salvar a captura.", "No hay espacio suficiente para guardar la captura.",
     "空间不足，无法保存截图。", "空間不足，無法儲存擷取畫面。"),
    ("OK", *OK),
    ("Title", *SNAPSHOT),
])

# The question is: tuner name + " " + SourceRemoved, then OkToSelectSource and
# CancelToExit on lines of their own.
group("/SourceRemovedDlg/", [
    ("CancelToExit", *CANCEL_SKIP),
    ("OkToSelectSource", "OK: choose a tuner and scan", "OK：チューナーを選んでスキャンする",
     "OK: escolher um sintonizador e buscar", "Aceptar: elegir un sintonizador y buscar",
     "确定：选择调谐器并搜索", "確定：選擇調諧器並搜尋"),
    ("SourceRemoved", "is no longer available.", "が見つかりません。", "não está mais disponível.",
     "ya no está disponible.", "已不可用。", "已無法使用。"),
    ("Title", "Tuner not found", "チューナーが見つかりません", "Sintonizador não encontrado",
     "Sintonizador no encontrado", "找不到调谐器", "找不到調諧器"),
])

group("/SourceRemovedErrorDlg/", [
    ("OK", *OK),
    ("SourceRemoved", "The source being played was removed.", "再生中のソースが取り外されました。",
     "A fonte em reprodução foi removida.", "Se ha quitado la fuente en reproducción.",
     "正在播放的信号源已被移除。", "正在播放的來源已被移除。"),
    ("Title", "Source removed", "ソースの取り外し", "Fonte removida", "Fuente quitada", "信号源已移除", "來源已移除"),
])

group("/TimeShiftErrorDlg/", [
    ("DirectoryNotExist", "The time shift folder does not exist.", "タイムシフト用のフォルダーがありません。",
     "A pasta do time-shift não existe.", "La carpeta de time-shift no existe.", "时移文件夹不存在。", "時移資料夾不存在。"),
    ("OK", *OK),
    ("Title", *TIME_SHIFT),
])

# ---- windows ----------------------------------------------------------

group("/ChannelList/", [
    ("All", "All", "すべて", "Todos", "Todos", "全部", "全部"),
    # Buttons by skin index: close, previous channel, program list.
    ("ButtonTooltip0", *CLOSE),
    ("ButtonTooltip1", "Previous channel", "前のチャンネル", "Canal anterior", "Canal anterior", "上一个频道", "上一個頻道"),
    ("ButtonTooltip2", "Program list", "番組一覧", "Lista de programas", "Lista de programas", "节目单", "節目表"),
    ("Radio", "Radio", "ラジオ", "Rádio", "Radio", "广播", "廣播"),
    ("TV", "TV", "テレビ", "TV", "TV", "电视", "電視"),
    # Header columns: number, name, type.
    ("TitleBarName0", "No.", "No.", "Nº", "N.º", "编号", "編號"),
    ("TitleBarName1", "Channel", "チャンネル", "Canal", "Canal", "频道", "頻道"),
    ("TitleBarName2", "Type", "種別", "Tipo", "Tipo", "类型", "類型"),
])

group("/ControlPanel/", [
    ("BML", "Data broadcast", "データ放送", "Interatividade", "Datos interactivos", "数据广播", "資料廣播"),
    ("ChannelDown", "Channel down", "チャンネルダウン", "Canal −", "Canal −", "频道减", "頻道減"),
    ("ChannelUp", "Channel up", "チャンネルアップ", "Canal +", "Canal +", "频道加", "頻道加"),
    ("FastBackward", "Rewind", "早戻し", "Retroceder", "Retroceder", "快退", "倒轉"),
    ("FastForward", "Fast forward", "早送り", "Avançar", "Avanzar", "快进", "快轉"),
    ("Help", "Help", "ヘルプ", "Ajuda", "Ayuda", "帮助", "說明"),
    ("Movie", "Movie", "ムービー", "Filme", "Película", "影片", "影片"),
    ("Navi", "Navigation", "ナビ", "Navegação", "Navegación", "导航", "導航"),
    ("OpenFile", "Open file", "ファイルを開く", "Abrir arquivo", "Abrir archivo", "打开文件", "開啟檔案"),
    ("PIP", "Picture in picture", "子画面", "Imagem na imagem", "Imagen en imagen", "画中画", "子母畫面"),
    ("Pause", "Pause", "一時停止", "Pausar", "Pausa", "暂停", "暫停"),
    ("Play", *PLAY),
    ("PlayList", "Playlist", "プレイリスト", "Lista de reprodução", "Lista de reproducción", "播放列表", "播放清單"),
    ("ProgramGuide", *PROGRAM_GUIDE),
    ("Return", "Back", "戻る", "Voltar", "Volver", "返回", "返回"),
    ("Setting", "Settings", "設定", "Configurações", "Configuración", "设置", "設定"),
    ("Shuffle", "Shuffle", "シャッフル", "Aleatório", "Aleatorio", "随机播放", "隨機播放"),
    ("SnapShot", *SNAPSHOT),
    ("StartRecord", "Record", "録画", "Gravar", "Grabar", "录像", "錄影"),
    ("Stop", *STOP),
    ("StopRecord", "Stop recording", "録画停止", "Parar gravação", "Detener grabación", "停止录像", "停止錄影"),
    ("StopTimeShift", "Stop time shift", "タイムシフト停止", "Parar time-shift", "Detener time-shift",
     "停止时移", "停止時移"),
    ("TimeShift", *TIME_SHIFT),
    ("UnShuffle", "Shuffle off", "シャッフル解除", "Aleatório desligado", "Aleatorio desactivado",
     "顺序播放", "循序播放"),
])

group("/ESGWindow/", [
    ("ProgramDescription", "Program description", "番組内容", "Descrição do programa", "Descripción del programa",
     "节目介绍", "節目介紹"),
    ("Title", *PROGRAM_GUIDE),
])

# Programme list buttons by skin index: (none), close, previous day, next day.
group("/EventList/", [
    ("ButtonTooltip0", "Program list", "番組一覧", "Lista de programas", "Lista de programas", "节目单", "節目表"),
    ("ButtonTooltip1", *CLOSE),
    ("ButtonTooltip2", "Previous day", "前日", "Dia anterior", "Día anterior", "前一天", "前一天"),
    ("ButtonTooltip3", "Next day", "翌日", "Dia seguinte", "Día siguiente", "后一天", "後一天"),
])

# Buttons by index: close, tick all, untick all, OK. Type combo entries:
# 0 video files (filter list 0), 1 audio files (filter list 1).
group("/FileBrowser/", [
    ("BtName0", *CLOSE),
    ("BtName1", "Select all", "すべて選択", "Marcar todos", "Marcar todo", "全选", "全選"),
    ("BtName2", "Clear all", "すべて解除", "Desmarcar todos", "Desmarcar todo", "全部取消", "全部取消"),
    ("BtName3", *OK),
    ("BtTip0", "Close without opening a file", "ファイルを開かずに閉じる", "Fechar sem abrir arquivos",
     "Cerrar sin abrir archivos", "关闭且不打开文件", "關閉且不開啟檔案"),
    ("BtTip1", "Select all files", "すべてのファイルを選択", "Marcar todos os arquivos", "Marcar todos los archivos",
     "选择全部文件", "選擇全部檔案"),
    ("BtTip2", "Clear all selections", "すべての選択を解除", "Desmarcar todos os arquivos",
     "Desmarcar todos los archivos", "取消全部选择", "取消全部選擇"),
    ("BtTip3", "Open the selected files", "選択したファイルを開く", "Abrir os arquivos selecionados",
     "Abrir los archivos seleccionados", "打开所选文件", "開啟所選檔案"),
    ("TypeComboTip", "File type", "ファイルの種類", "Tipo de arquivo", "Tipo de archivo", "文件类型", "檔案類型"),
    ("TypeItem0", "Video", "動画", "Vídeo", "Vídeo", "视频", "影片"),
    ("TypeItem1", "Music", "音楽", "Música", "Música", "音乐", "音樂"),
])

# The help file (in the program's "help" folder) of each language.
t("/Help/FileName", "help_en.htm", "help_ja.htm", "help_pt.htm", "help_es.htm", "help_zh_cn.htm", "help_zh_tw.htm")

# Each Locale names every language in its own language; the language list
# shows each entry looked up in that entry's own Locale.
group("/LanguageName/", [
    ("Chinese", "Chinese", "中国語", "Chinês", "Chino", "中文", "中文"),
    ("English", "English", "英語", "Inglês", "Inglés", "英语", "英文"),
    ("Japanese", "Japanese", "日本語", "Japonês", "Japonés", "日语", "日文"),
    ("Portuguese", "Portuguese", "ポルトガル語", "Português", "Portugués", "葡萄牙语", "葡萄牙文"),
    ("SimplifiedChinese", "Simplified Chinese", "中国語（簡体字）", "Chinês simplificado", "Chino simplificado",
     "简体中文", "簡體中文"),
    ("Spanish", "Spanish", "スペイン語", "Espanhol", "Español", "西班牙语", "西班牙文"),
    ("TranditionalChinese", "Traditional Chinese", "中国語（繁体字）", "Chinês tradicional", "Chino tradicional",
     "繁体中文", "繁體中文"),
    ("Unknown", "Unknown", "不明", "Desconhecido", "Desconocido", "未知", "未知"),
])

group("/NewPasswordDlg/", [
    ("Cancel", *CANCEL),
    ("Clear", *CLEAR),
    ("CreatePassword", "New password:", "新しいパスワード：", "Nova senha:", "Nueva contraseña:", "新密码：", "新密碼："),
    ("NoPassword", "Please enter a password.", "パスワードを入力してください。", "Digite uma senha.",
     "Introduzca una contraseña.", "请输入密码。", "請輸入密碼。"),
    ("OK", *OK),
    ("PasswordNotMatch", "The passwords do not match.", "パスワードが一致しません。", "As senhas não coincidem.",
     "Las contraseñas no coinciden.", "两次输入的密码不一致。", "兩次輸入的密碼不一致。"),
    ("RepeatPassword", "Repeat password:", "パスワード（確認）：", "Repita a senha:", "Repita la contraseña:",
     "确认密码：", "確認密碼："),
])

group("/EnterPasswordDlg/", [
    ("Cancel", *CANCEL),
    ("Clear", *CLEAR),
    ("Error", "Wrong password. Please try again.", "パスワードが違います。", "Senha incorreta.",
     "Contraseña incorrecta.", "密码错误。", "密碼錯誤。"),
    ("InputPassword", "Enter the password:", "パスワードを入力してください：", "Digite a senha:",
     "Introduzca la contraseña:", "请输入密码：", "請輸入密碼："),
    ("OK", *OK),
])

group("/PlayListEditWindow/", [("OK", *OK)])
group("/PlayListOpenWindow/", [("Play", *PLAY)])
group("/PlayListShowWindow/", [
    ("Del", "Delete", "削除", "Excluir", "Eliminar", "删除", "刪除"),
    ("Edit", "Edit", "編集", "Editar", "Editar", "编辑", "編輯"),
    ("Open", *OPEN),
    ("Play", *PLAY),
    ("SaveAs", "Save as", "別名で保存", "Salvar como", "Guardar como", "另存为", "另存新檔"),
])
group("/PlayListWindow/", [
    ("Caption", "Playlists", "プレイリスト", "Listas de reprodução", "Listas de reproducción", "播放列表", "播放清單"),
    ("New", "New playlist", "新規作成", "Nova lista", "Nueva lista", "新建列表", "新增清單"),
    ("Open", "Open playlist", "プレイリストを開く", "Abrir lista", "Abrir lista", "打开列表", "開啟清單"),
])

# The progress lines are joined without separators:
#   Scan + Frequency + <kHz number> + KHz
#   Found + <frequencies> + ValidFrequencies + <programs> + ValidPrograms
group("/ScanProgressDlg/", [
    ("Found", "Found: ", "有効な周波数：", "Resultado: ", "Resultado: ", "有效频率：", "有效頻率："),
    ("Frequency", " frequency: ", "周波数：", " na frequência ", " en la frecuencia ", "频率：", "頻率："),
    ("KHz", " kHz", " kHz", " kHz", " kHz", " kHz", " kHz"),
    ("Scan", "Scan", "スキャン", "Busca", "Búsqueda", "扫描", "掃描"),
    ("Scanning", "Scanning for channels...", "チャンネルをスキャンしています…", "Procurando canais...",
     "Buscando canales...", "正在搜索频道…", "正在搜尋頻道…"),
    ("Stop", *STOP),
    ("ValidFrequencies", " frequencies, ", " 件、有効な番組：", " frequências, ", " frecuencias, ",
     " 个，有效节目：", " 個，有效節目："),
    ("ValidPrograms", " programs", " 件", " programas", " programas", " 个", " 個"),
])

group("/VolumePanel/", [
    ("AdjustVolume", "Volume", "音量", "Volume", "Volumen", "音量", "音量"),
    ("Mute", "Mute", "消音", "Sem som", "Silenciar", "静音", "靜音"),
    ("Unmute", "Sound on", "消音解除", "Ativar som", "Activar sonido", "取消静音", "取消靜音"),
    ("VolumeDown", "Volume down", "音量を下げる", "Diminuir volume", "Bajar volumen", "降低音量", "降低音量"),
    ("VolumeUp", "Volume up", "音量を上げる", "Aumentar volume", "Subir volumen", "提高音量", "提高音量"),
])

# ---- setting dialog (standard windows) ---------------------------------

group("/SettingDlg/", [
    ("Apply", "Apply", "適用", "Aplicar", "Aplicar", "应用", "套用"),
    ("Cancel", *CANCEL),
    ("Caption", "Settings", "設定", "Configurações", "Configuración", "设置", "設定"),
    ("OK", *OK),
    ("Reset", *RESET),
])

group("/SettingDlg/AboutPage/", [
    ("Caption", *ABOUT),
    ("CopyrightInfo", "Copyright © Norvale. All rights reserved.", "Copyright © Norvale. All rights reserved.",
     "Copyright © Norvale. Todos os direitos reservados.", "Copyright © Norvale. Todos los derechos reservados.",
     "版权所有 © Norvale。保留所有权利。", "版權所有 © Norvale。保留一切權利。"),
    ("CopyrightWarning", "This program is protected by copyright law. Unauthorized copying or distribution is prohibited.",
     "本ソフトウェアは著作権法で保護されています。無断で複製・配布することを禁じます。",
     "Este programa é protegido por leis de direitos autorais. É proibida a cópia ou distribuição não autorizada.",
     "Este programa está protegido por las leyes de derechos de autor. Se prohíbe su copia o distribución no autorizada.",
     "本软件受著作权法保护，未经授权禁止复制或传播。", "本軟體受著作權法保護，未經授權禁止複製或散布。"),
    ("SoftwareName", "Tunora", "Tunora", "Tunora", "Tunora", "Tunora", "Tunora"),
    # Followed directly by the version number.
    ("Version", "Version ", "バージョン ", "Versão ", "Versión ", "版本 ", "版本 "),
])

# Equaliser presets in the order of their preset numbers 0..14.
EQ_PRESETS = [
    ("UserDefined", "Custom", "ユーザー設定", "Personalizado", "Personalizado", "自定义", "自訂"),
    ("Normal", "Normal", "ノーマル", "Normal", "Normal", "标准", "標準"),
    ("Pop", "Pop", "ポップ", "Pop", "Pop", "流行", "流行"),
    ("HipHop", "Hip-hop", "ヒップホップ", "Hip-hop", "Hip hop", "嘻哈", "嘻哈"),
    ("Rap", "Rap", "ラップ", "Rap", "Rap", "说唱", "饒舌"),
    ("Jazz", "Jazz", "ジャズ", "Jazz", "Jazz", "爵士", "爵士"),
    ("Rock", "Rock", "ロック", "Rock", "Rock", "摇滚", "搖滾"),
    ("Metal", "Metal", "メタル", "Metal", "Metal", "金属", "金屬"),
    ("Dance", "Dance", "ダンス", "Dance", "Dance", "舞曲", "舞曲"),
    ("Classical", "Classical", "クラシック", "Clássica", "Clásica", "古典", "古典"),
    ("Electronic", "Electronic", "エレクトロニック", "Eletrônica", "Electrónica", "电子", "電子"),
    ("Folk", "Folk", "フォーク", "Folk", "Folk", "民谣", "民謠"),
    ("NewAge", "New age", "ニューエイジ", "New age", "New age", "新世纪", "新世紀"),
    ("RAndB", "R&B", "R&B", "R&B", "R&B", "R&B", "R&B"),
    ("EasyListening", "Easy listening", "イージーリスニング", "Easy listening", "Easy listening", "轻音乐", "輕音樂"),
]

group("/SettingDlg/AudioPage/", sorted(EQ_PRESETS + [
    ("AudioChannelConfig", *AUDIO_CHANNEL),
    ("AudioSwitch", *AUDIO_TRACK),
    ("Caption", *AUDIO),
    ("Equalizer", "Equalizer", "イコライザー", "Equalizador", "Ecualizador", "均衡器", "等化器"),
    ("LeftChannel", *LEFT),
    ("NotApplicable", "Not available", "なし", "Não disponível", "No disponible", "不可用", "不適用"),
    ("RightChannel", *RIGHT),
    ("Stereo", *STEREO),
]))

group("/SettingDlg/CAPage/", [
    ("CASetting", "CA settings", "CA設定", "Configurações de CA", "Configuración de CA", "CA设置", "CA設定"),
    ("Caption", "CA", "CA", "CA", "CA", "CA", "CA"),
    ("Disable", "Off", "無効", "Desativado", "Desactivado", "禁用", "停用"),
    ("Enable", "On", "有効", "Ativado", "Activado", "启用", "啟用"),
    ("SecurityBroadcast", "Scrambled broadcasts", "スクランブル放送", "Transmissões codificadas",
     "Emisiones codificadas", "加密广播", "加密廣播"),
    ("Unknown", "Unknown", "不明", "Desconhecido", "Desconocido", "未知", "未知"),
])

group("/SettingDlg/GeneralPage/", [
    ("BufferSecond", "seconds", "秒", "segundos", "segundos", "秒", "秒"),
    ("BufferTime", "Buffer length", "バッファー時間", "Duração do buffer", "Duración del búfer", "缓冲时间", "緩衝時間"),
    ("Caption", *GENERAL),
    ("Language", "Language", "言語", "Idioma", "Idioma", "语言", "語言"),
    ("OSDConfig", "On-screen display", "画面表示", "Exibição na tela", "Visualización en pantalla", "屏幕显示", "螢幕顯示"),
    ("Subtitle", "Show subtitles", "字幕を表示", "Exibir legendas", "Mostrar subtítulos", "显示字幕", "顯示字幕"),
    ("SubtitleLanguage", "Subtitle language", "字幕の言語", "Idioma da legenda", "Idioma de subtítulos",
     "字幕语言", "字幕語言"),
    ("SubtitleSetting", "Subtitles", "字幕設定", "Legendas", "Subtítulos", "字幕设置", "字幕設定"),
    ("SyncTime", "Set clock from broadcast", "放送で時刻を合わせる", "Acertar o relógio pela transmissão",
     "Ajustar la hora con la emisión", "根据广播校准时间", "依廣播校正時間"),
    ("TimeShifting", *TIME_SHIFT),
])

group("/SettingDlg/PVRPage/", [
    ("AVI", "AVI", "AVI", "AVI", "AVI", "AVI", "AVI"),
    ("AllocatedSpaceSize", "Space for recordings", "録画に使う容量", "Espaço para gravações", "Espacio para grabaciones",
     "录像可用空间", "錄影可用空間"),
    ("Caption", "Recording", "録画", "Gravação", "Grabación", "录像", "錄影"),
    ("Directory", *FOLDER),
    ("Format", *FORMAT),
    ("MaximumSize", "Free space", "空き容量", "Espaço livre", "Espacio libre", "剩余空间", "剩餘空間"),
    ("Open", *BROWSE),
    ("RawData", "TS (original)", "TS（無変換）", "TS (original)", "TS (original)", "TS（原始数据）", "TS（原始資料）"),
    ("SaveTo", *SAVE_TO),
    ("SpaceSize", "Disk space", "容量", "Espaço em disco", "Espacio en disco", "磁盘空间", "磁碟空間"),
    ("ThreeGP", "3GP", "3GP", "3GP", "3GP", "3GP", "3GP"),
])

group("/SettingDlg/ParentControlPage/", [
    ("AgeBlock", "Block by age", "年齢制限", "Bloqueio por idade", "Bloqueo por edad", "年龄限制", "年齡限制"),
    ("Caption", *PARENTAL),
    ("ChangePasswd", "Change password", "パスワード変更", "Alterar senha", "Cambiar contraseña", "更改密码", "變更密碼"),
    ("ContentBlock", "Block by content", "内容による制限", "Bloqueio por conteúdo", "Bloqueo por contenido",
     "内容限制", "內容限制"),
    ("Drug", "Drugs", "薬物", "Drogas", "Drogas", "毒品", "毒品"),
    ("Sex", "Sex", "性的表現", "Sexo", "Sexo", "色情", "色情"),
    ("Violence", "Violence", "暴力", "Violência", "Violencia", "暴力", "暴力"),
    ("YearsOld", "years old", "歳", "anos", "años", "岁", "歲"),
])

group("/SettingDlg/ScanPage/", [
    ("At", "Bandwidth", "帯域幅", "Largura de banda", "Ancho de banda", "带宽", "頻寬"),
    ("AutoScan", "Auto scan", "自動スキャン", "Busca automática", "Búsqueda automática", "自动搜索", "自動搜尋"),
    ("Caption", "Channel scan", "チャンネルスキャン", "Busca de canais", "Búsqueda de canales", "频道搜索", "頻道搜尋"),
    ("Channel", "No.", "No.", "Nº", "N.º", "序号", "序號"),
    ("Country", "Country", "国", "País", "País", "国家", "國家"),
    ("Frequency", "Frequency", "周波数", "Frequência", "Frecuencia", "频率", "頻率"),
    ("From", "Start frequency", "開始周波数", "Frequência inicial", "Frecuencia inicial", "起始频率", "起始頻率"),
    ("LocalFilePlayBack", "Local file playback", "ファイル再生", "Reprodução de arquivos", "Reproducción de archivos",
     "本地文件播放", "本機檔案播放"),
    ("ManualScan", "Manual scan", "手動スキャン", "Busca manual", "Búsqueda manual", "手动搜索", "手動搜尋"),
    ("NoChannelFound", "No channels were found. Save the empty channel list?",
     "チャンネルが見つかりませんでした。空のチャンネルリストを保存しますか？",
     "Nenhum canal encontrado. Salvar a lista de canais vazia?",
     "No se encontró ningún canal. ¿Guardar la lista de canales vacía?",
     "未找到频道。是否保存空的频道列表？", "未找到頻道。是否儲存空的頻道清單？"),
    ("Program", *STATION),
    ("Region", "Region", "地域", "Região", "Región", "地区", "地區"),
    ("Scan", "Scan", "スキャン", "Busca", "Búsqueda", "搜索", "搜尋"),
    ("StartScan", "Start scan", "スキャン開始", "Iniciar busca", "Iniciar búsqueda", "开始搜索", "開始搜尋"),
    ("To", "End frequency", "終了周波数", "Frequência final", "Frecuencia final", "结束频率", "結束頻率"),
    ("Warning", "Warning", "警告", "Aviso", "Aviso", "警告", "警告"),
])

group("/SettingDlg/SnapShotPage/", [
    ("Bitmap", "Bitmap (BMP)", "ビットマップ (BMP)", "Bitmap (BMP)", "Mapa de bits (BMP)", "位图 (BMP)", "點陣圖 (BMP)"),
    ("Caption", *SNAPSHOT),
    ("Directory", *FOLDER),
    ("Format", *FORMAT),
    ("JPEG", "JPEG", "JPEG", "JPEG", "JPEG", "JPEG", "JPEG"),
    ("Open", *BROWSE),
    ("Other", "Other", "その他", "Outros", "Otros", "其他", "其他"),
    ("SaveTo", *SAVE_TO),
])

group("/SettingDlg/VideoPage/", [
    ("AspectRatio", "Aspect ratio", "画面サイズ", "Proporção da tela", "Relación de aspecto", "宽高比", "長寬比"),
    ("Brightness", "Brightness", "明るさ", "Brilho", "Brillo", "亮度", "亮度"),
    ("Caption", "Video", "映像", "Vídeo", "Vídeo", "视频", "視訊"),
    ("Contrast", "Contrast", "コントラスト", "Contraste", "Contraste", "对比度", "對比"),
    ("Cropped", "Zoom", "ズーム", "Zoom", "Zoom", "裁剪", "裁切"),
    ("LetterBox", "Letterbox", "レターボックス", "Letterbox", "Letterbox", "信箱模式", "信箱模式"),
    ("Reset", *RESET),
    ("Saturation", "Saturation", "色の濃さ", "Saturação", "Saturación", "饱和度", "飽和度"),
    ("Sharpness", "Sharpness", "シャープネス", "Nitidez", "Nitidez", "锐度", "銳利度"),
    ("Stretched", "Stretch", "フル", "Esticar", "Estirar", "拉伸", "延展"),
    ("VideoSetting", "Video settings", "映像設定", "Configurações de vídeo", "Configuración de vídeo",
     "视频设置", "視訊設定"),
])

# ---- setting window (skinned) -----------------------------------------

group("/SettingWindow/AboutPage/", [("Title", *ABOUT)])
group("/SettingWindow/AudioPage/", [
    ("AudioChannelConfig", *AUDIO_CHANNEL),
    ("AudioSwitch", *AUDIO_TRACK),
    ("Title", *AUDIO),
])
group("/SettingWindow/BrightnessPage/", [
    ("DayCaption", "Day", "昼間", "Dia", "Día", "白天", "白天"),
    ("NightCaption", "Night", "夜間", "Noite", "Noche", "夜间", "夜間"),
    ("Title", "Brightness", "明るさ", "Brilho", "Brillo", "亮度", "亮度"),
])
# Each label is followed by " " and the value.
group("/SettingWindow/CAPage/", [
    ("CAID", "Card ID:", "カードID：", "ID do cartão:", "ID de la tarjeta:", "卡号：", "卡號："),
    ("KDAVersion", "Key data version:", "鍵データバージョン：", "Versão dos dados de chave:", "Versión de datos de clave:",
     "密钥数据版本：", "金鑰資料版本："),
    ("Title", "CA", "CA", "CA", "CA", "CA", "CA"),
])

# The general page's "audio switch" combo stores its entry index as the
# equaliser preset number, so entry n is preset n (the skin's "AudioStreamNum"
# says how many of the 15 are offered).
_general = [
    ("AudioChannelConfig", *AUDIO_CHANNEL),
    ("AudioSwitch", "Equalizer", "イコライザー", "Equalizador", "Ecualizador", "均衡器", "等化器"),
    ("ClosedCaption", "Subtitles", "字幕", "Legendas", "Subtítulos", "字幕", "字幕"),
    ("Disable", "Off", "オフ", "Desligado", "Desactivado", "关闭", "關閉"),
    ("LeftChannel", *LEFT),
    ("RightChannel", *RIGHT),
    ("Stereo", *STEREO),
    ("Subtitle1", "Subtitle 1", "字幕1", "Legenda 1", "Subtítulo 1", "字幕1", "字幕1"),
    ("Subtitle2", "Subtitle 2", "字幕2", "Legenda 2", "Subtítulo 2", "字幕2", "字幕2"),
    ("Title", *GENERAL),
]
_general += [("AudioStream%d" % i, *texts) for i, (_, *texts) in enumerate(EQ_PRESETS)]
group("/SettingWindow/GeneralPage/", _general)

group("/SettingWindow/ScanPage/", [
    ("All", *ALL_REGIONS),
    ("Channel", "Ch", "CH", "Canal", "Canal", "频道", "頻道"),
    ("Completed", "Scan completed", "スキャン完了", "Busca concluída", "Búsqueda finalizada", "搜索完成", "搜尋完成"),
    ("Frequency", "Frequency", "周波数", "Frequência", "Frecuencia", "频率", "頻率"),
    ("Program", *STATION),
    ("Region", "Region", "地域", "Região", "Región", "地区", "地區"),
    ("Scan", "Scan", "スキャン", "Buscar", "Buscar", "搜索", "搜尋"),
    ("Stop", *STOP),
    ("Title", "Channels", "チャンネル", "Canais", "Canales", "频道", "頻道"),
])

# ---- regions and prefectures ------------------------------------------
# Region and emergency-warning area names. Japanese names carry the
# prefecture suffix (都, 道, 府, 県) as official names and broadcast area
# tables do. Columns: key, English (also Portuguese and Spanish unless
# overridden), Japanese, simplified Chinese, traditional Chinese.

PREFECTURES = [
    ("Hokkaido", "Hokkaido", "北海道", "北海道", "北海道"),
    ("Aomori", "Aomori", "青森県", "青森县", "青森縣"),
    ("Iwate", "Iwate", "岩手県", "岩手县", "岩手縣"),
    ("Miyagi", "Miyagi", "宮城県", "宫城县", "宮城縣"),
    ("Akita", "Akita", "秋田県", "秋田县", "秋田縣"),
    ("Yamagata", "Yamagata", "山形県", "山形县", "山形縣"),
    ("Fukushima", "Fukushima", "福島県", "福岛县", "福島縣"),
    ("Ibaraki", "Ibaraki", "茨城県", "茨城县", "茨城縣"),
    ("Tochigi", "Tochigi", "栃木県", "栃木县", "栃木縣"),
    ("Gunma", "Gunma", "群馬県", "群马县", "群馬縣"),
    ("Saitama", "Saitama", "埼玉県", "埼玉县", "埼玉縣"),
    ("Chiba", "Chiba", "千葉県", "千叶县", "千葉縣"),
    ("Tokyo", "Tokyo", "東京都", "东京都", "東京都"),
    ("Kanagawa", "Kanagawa", "神奈川県", "神奈川县", "神奈川縣"),
    ("Niigata", "Niigata", "新潟県", "新潟县", "新潟縣"),
    ("Toyama", "Toyama", "富山県", "富山县", "富山縣"),
    ("Ishikawa", "Ishikawa", "石川県", "石川县", "石川縣"),
    ("Fukui", "Fukui", "福井県", "福井县", "福井縣"),
    ("Yamanashi", "Yamanashi", "山梨県", "山梨县", "山梨縣"),
    ("Nagano", "Nagano", "長野県", "长野县", "長野縣"),
    ("Gifu", "Gifu", "岐阜県", "岐阜县", "岐阜縣"),
    ("Shizuoka", "Shizuoka", "静岡県", "静冈县", "靜岡縣"),
    ("Aichi", "Aichi", "愛知県", "爱知县", "愛知縣"),
    ("Mie", "Mie", "三重県", "三重县", "三重縣"),
    ("Shiga", "Shiga", "滋賀県", "滋贺县", "滋賀縣"),
    ("Kyoto", "Kyoto", "京都府", "京都府", "京都府"),
    ("Osaka", "Osaka", "大阪府", "大阪府", "大阪府"),
    ("Hyogo", "Hyogo", "兵庫県", "兵库县", "兵庫縣"),
    ("Nara", "Nara", "奈良県", "奈良县", "奈良縣"),
    ("Wakayama", "Wakayama", "和歌山県", "和歌山县", "和歌山縣"),
    ("Tottori", "Tottori", "鳥取県", "鸟取县", "鳥取縣"),
    ("Shimane", "Shimane", "島根県", "岛根县", "島根縣"),
    ("Okayama", "Okayama", "岡山県", "冈山县", "岡山縣"),
    ("Hiroshima", "Hiroshima", "広島県", "广岛县", "廣島縣"),
    ("Yamaguchi", "Yamaguchi", "山口県", "山口县", "山口縣"),
    ("Tokushima", "Tokushima", "徳島県", "德岛县", "德島縣"),
    ("Kagawa", "Kagawa", "香川県", "香川县", "香川縣"),
    ("Ehime", "Ehime", "愛媛県", "爱媛县", "愛媛縣"),
    ("Kochi", "Kochi", "高知県", "高知县", "高知縣"),
    ("Fukuoka", "Fukuoka", "福岡県", "福冈县", "福岡縣"),
    ("Saga", "Saga", "佐賀県", "佐贺县", "佐賀縣"),
    ("Nagasaki", "Nagasaki", "長崎県", "长崎县", "長崎縣"),
    ("Kumamoto", "Kumamoto", "熊本県", "熊本县", "熊本縣"),
    ("Oita", "Oita", "大分県", "大分县", "大分縣"),
    ("Miyazaki", "Miyazaki", "宮崎県", "宫崎县", "宮崎縣"),
    ("Kagoshima", "Kagoshima", "鹿児島県", "鹿儿岛县", "鹿兒島縣"),
    ("Okinawa", "Okinawa", "沖縄県", "冲绳县", "沖繩縣"),
    # Emergency-warning areas that span prefectures.
    ("WideAreaKanto", "Kanto (wide area)", "関東広域圏", "关东广域圈", "關東廣域圈"),
    ("WideAreaChukyo", "Chukyo (wide area)", "中京広域圏", "中京广域圈", "中京廣域圈"),
    ("WideAreaKinki", "Kinki (wide area)", "近畿広域圏", "近畿广域圈", "近畿廣域圈"),
    ("TottoriShimane", "Tottori and Shimane", "鳥取県・島根県", "鸟取县・岛根县", "鳥取縣・島根縣"),
    ("OkayamaKagawa", "Okayama and Kagawa", "岡山県・香川県", "冈山县・香川县", "岡山縣・香川縣"),
    # Regions of the region picker.
    ("DongBei", "Tohoku", "東北", "东北地方", "東北地方"),
    ("BeiLuXinYue", "Hokuriku-Shinetsu", "北陸・信越", "北陆信越", "北陸信越"),
    ("DongHai", "Tokai", "東海", "东海地方", "東海地方"),
    ("SiGuo", "Shikoku", "四国", "四国", "四國"),
    ("JiuZhouChongShen", "Kyushu-Okinawa", "九州・沖縄", "九州・冲绳", "九州・沖繩"),
    # The seven broadcast areas of Hokkaido.
    ("ZaHuang", "Sapporo", "札幌", "札幌", "札幌"),
    ("HanGuan", "Hakodate", "函館", "函馆", "函館"),
    ("XuChuan", "Asahikawa", "旭川", "旭川", "旭川"),
    ("JingLu", "Kushiro", "釧路", "钏路", "釧路"),
    ("BeiJian", "Kitami", "北見", "北见", "北見"),
    ("ShiLan", "Muroran", "室蘭", "室兰", "室蘭"),
    ("DaiHun", "Obihiro", "帯広", "带广", "帶廣"),
]

# Portuguese and Spanish exonyms where they differ from the English name.
PREFECTURE_PT = {"Tokyo": "Tóquio", "Kyoto": "Quioto", "WideAreaKanto": "Kanto (área ampla)",
                 "WideAreaChukyo": "Chukyo (área ampla)", "WideAreaKinki": "Kinki (área ampla)",
                 "TottoriShimane": "Tottori e Shimane", "OkayamaKagawa": "Okayama e Kagawa"}
PREFECTURE_ES = {"Tokyo": "Tokio", "Kyoto": "Kioto", "WideAreaKanto": "Kanto (zona amplia)",
                 "WideAreaChukyo": "Chukyo (zona amplia)", "WideAreaKinki": "Kinki (zona amplia)",
                 "TottoriShimane": "Tottori y Shimane", "OkayamaKagawa": "Okayama y Kagawa"}

for key, en, ja, cn, tw in sorted(PREFECTURES):
    t("/Japan/" + key, en, ja, PREFECTURE_PT.get(key, en), PREFECTURE_ES.get(key, en), cn, tw)

t("/RegionAll", *ALL_REGIONS)
# Area code 4094 of the region picker: the Chugoku region of Japan (written
# 中国 in Japanese), the one region of the nine that has no key of its own.
t("/RegionChina", "Chugoku", "中国", "Chugoku", "Chugoku", "中国地方", "中國地方")

# ---- rendering --------------------------------------------------------

KEY_RE = re.compile(r"^(/[A-Za-z][A-Za-z0-9]*)+$")


def validate():
    """Raises ValueError for a malformed table: bad or duplicate keys, a key
    that is both a text and a group, or a missing or blank text."""
    seen = set()
    for key, texts in ROWS:
        if not KEY_RE.match(key):
            raise ValueError("bad key %r" % key)
        if key in seen:
            raise ValueError("duplicate key %r" % key)
        seen.add(key)
        if len(texts) != len(LOCALES):
            raise ValueError("%s: %d texts for %d languages" % (key, len(texts), len(LOCALES)))
        for (lcid, _), text in zip(LOCALES, texts):
            if not isinstance(text, str) or not text.strip():
                raise ValueError("%s: blank text for %d" % (key, lcid))
    for key in seen:
        parts = key.split("/")
        for n in range(2, len(parts)):
            if "/".join(parts[:n]) in seen:
                raise ValueError("%s is both a text and a group" % "/".join(parts[:n]))


def keys():
    return [key for key, _ in ROWS]


def _tree(column):
    root = {}
    for key, texts in ROWS:
        node = root
        parts = key.strip("/").split("/")
        for part in parts[:-1]:
            node = node.setdefault(part, {})
        node[parts[-1]] = texts[column]
    return root


def _emit(node, depth, out):
    pad = "  " * depth
    for name, value in node.items():
        if isinstance(value, dict):
            out.append("%s<%s>" % (pad, name))
            _emit(value, depth + 1, out)
            out.append("%s</%s>" % (pad, name))
        else:
            out.append("%s<%s>%s</%s>" % (pad, name, escape(value), name))


def render():
    """The complete String.xml text."""
    validate()
    out = ['<?xml version="1.0" encoding="UTF-8"?>',
           "<!-- Generated by data/tools/gen_strings.py: edit the tables there and regenerate. -->",
           "<String>"]
    for column, (lcid, _) in enumerate(LOCALES):
        out.append('  <Locale LCID="%d">' % lcid)
        _emit(_tree(column), 2, out)
        out.append("  </Locale>")
    out.append("</String>")
    return "\n".join(out) + "\n"


def main(argv):
    text = render()
    if "--stdout" in argv:
        sys.stdout.write(text)
        return 0
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "String.xml")
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)
    print("wrote %s: %d keys x %d languages" % (os.path.normpath(path), len(ROWS), len(LOCALES)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
