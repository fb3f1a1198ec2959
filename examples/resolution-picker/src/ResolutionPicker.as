package
{
    import com.velmorant.utils.VelmorantUtils;
    import flash.display.Sprite;
    import flash.events.MouseEvent;
    import flash.text.TextField;

    /**
     * A small resolution picker on the VelmorantUtils extension: the screen
     * sizes a switch can reach, a restore, and the keyboard repeat speed. The
     * class puts the screen back when the application quits, and here the
     * keyboard speed too. Its switches are temporary: Windows drops one when
     * the desktop switches (a UAC prompt, a locked screen), and the class
     * makes it again when the application is activated.
     */
    public class ResolutionPicker extends Sprite
    {
        // Offered when the runtime lists no sizes, with no promise that Windows takes them.
        private static const FIXED_SIZES:Array = [{ width: 1920, height: 1080 }, { width: 1280, height: 720 },
                                                  { width: 1024, height: 768 }, { width: 800, height: 600 }];
        // Windows' keyboard speeds run from 0 (slowest) to 31 (fastest).
        private static const SPEEDS:Array = [0, 15, 31];
        private static const ROW:int = 30;
        private static const ROW_WIDTH:int = 340;
        // A display may list a few dozen sizes: four buttons to a row.
        private static const SIZES_PER_ROW:int = 4;

        private var utils:VelmorantUtils = VelmorantUtils.instance;
        private var status:TextField;
        private var rows:int = 0;

        public function ResolutionPicker()
        {
            utils.restoreKeyboardOnExit = true;
            status = addRow(VelmorantUtils.isSupported ? "Pick a screen size or a keyboard speed."
                : "The VelmorantUtils extension is not available: nothing will change.", null);
            // The sizes the display has at its current colour depth and refresh rate, which a switch keeps.
            var sizes:Array = utils.screenSizes;
            if (sizes.length == 0)
            {
                addRow("No sizes listed: these fixed ones may be refused.", null);
                sizes = FIXED_SIZES;
            }
            var sizeButtons:Array = [];
            for each (var size:Object in sizes)
                sizeButtons.push([size.width + " x " + size.height, switcher(size.width, size.height)]);
            addButtons(sizeButtons, SIZES_PER_ROW);
            addRow("Restore the screen", restoreScreen);
            var speedButtons:Array = [];
            for each (var speed:int in SPEEDS)
                speedButtons.push(["Speed " + speed, speedSetter(speed)]);
            addButtons(speedButtons, SPEEDS.length);
            addRow("Restore the keyboard speed", restoreSpeed);
        }

        private function addRow(text:String, onClick:Function):TextField
        {
            return addField(text, onClick, 0, rows++, ROW_WIDTH);
        }

        // [text, onClick] pairs, perRow to a row.
        private function addButtons(buttons:Array, perRow:int):void
        {
            var cell:int = ROW_WIDTH / perRow;
            for (var i:int = 0; i < buttons.length; i++)
                addField(buttons[i][0], buttons[i][1], cell * (i % perRow), rows + int(i / perRow), cell - 4);
            rows += Math.ceil(buttons.length / perRow);
        }

        private function addField(text:String, onClick:Function, x:int, row:int, width:int):TextField
        {
            var field:TextField = new TextField();
            field.text = text;
            field.selectable = false;
            field.border = onClick != null;
            field.x = 10 + x;
            field.y = 10 + ROW * row;
            field.width = width;
            field.height = ROW - 6;
            if (onClick != null)
                field.addEventListener(MouseEvent.CLICK, onClick);
            addChild(field);
            return field;
        }

        private function switcher(width:int, height:int):Function
        {
            return function(event:MouseEvent):void {
                var accepted:Boolean = utils.setScreenResolution(width, height);
                status.text = (accepted ? "Switched to " : "Windows refused ") + width + " x " + height + ".";
            };
        }

        private function speedSetter(speed:int):Function
        {
            return function(event:MouseEvent):void {
                utils.setKeyboardSpeed(speed);
                status.text = "Keyboard speed " + speed + ".";
            };
        }

        private function restoreScreen(event:MouseEvent):void
        {
            utils.restoreScreenResolution();
            status.text = "Screen restored.";
        }

        private function restoreSpeed(event:MouseEvent):void
        {
            utils.restoreKeyboardSpeed();
            status.text = "Keyboard speed restored.";
        }
    }
}
