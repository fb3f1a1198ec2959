package flash.text
{
    import flash.display.DisplayObject;

    /** See flash.display.DisplayObject. */
    public class TextField extends DisplayObject
    {
        public var text:String;
        public var selectable:Boolean;
        public var border:Boolean;
    }
}
